// Registry values of every type with random sizes and contents, read through
// the registry class (under a scratch key of the current user and as the
// installed MDAC version) and through the version page of the real window.
// Every read must give exactly what the stored bytes say, or the default; the
// page shows the first four characters of the version text and a verdict
// that follows from them. A fixed seed makes every case reproducible.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/VersionPageTexts.h"
#include "tests/WizardHarness.h"
#include "winsupport/Handles.h"
#include "winsupport/cRegistry.h"

namespace {

using harness::Localized;
using harness::WindowText;

constexpr std::uint32_t kSeed = 0x5EED2024u;
const wchar_t kScratch[] = L"Software\\VelmorantTest\\BadInput";
const char kScratchA[] = "Software\\VelmorantTest\\BadInput";
const wchar_t kDataAccess[] = L"Software\\Microsoft\\DataAccess";
const char kDataAccessA[] = "Software\\Microsoft\\DataAccess";
const wchar_t kVersionName[] = L"FullInstallVer";
const wchar_t kDefaultMarker[] = L"(default)";

// ---- showing values ------------------------------------------------------------------------

std::string Hex(const std::string& bytes, size_t limit = 24) {
    std::string text;
    char buffer[8];
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        (void)std::snprintf(buffer, sizeof(buffer), "%02x ", static_cast<unsigned char>(bytes[i]));
        text += buffer;
    }
    if (bytes.size() > limit) text += "... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

std::string ShowText(const std::wstring& text, size_t limit = 40) {
    std::string shown = "\"";
    char buffer[16];
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            shown.push_back(static_cast<char>(c));
        } else {
            (void)std::snprintf(buffer, sizeof(buffer), "\\u%04X", c);
            shown += buffer;
        }
    }
    if (text.size() > limit) shown += "...";
    return shown + "\" (" + std::to_string(text.size()) + " chars)";
}

std::string Show(const TaggedValue& value) {
    switch (value.Kind()) {
        case ValueKind::Empty:
            return "Empty";
        case ValueKind::Text:
            return "Text " + ShowText(*value.As<std::wstring>());
        case ValueKind::Integer32:
            return "Integer32 " + std::to_string(*value.As<std::int32_t>());
        case ValueKind::Bytes: {
            const ByteArray& bytes = *value.As<ByteArray>();
            return "Bytes " + Hex(std::string(bytes.begin(), bytes.end()));
        }
        default:
            return "other kind " + std::to_string(static_cast<int>(value.Kind()));
    }
}

// ---- the values ------------------------------------------------------------------------------

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

struct RawValue {
    std::string label;
    DWORD type = REG_NONE;
    std::string bytes;  // as stored: ANSI for string types written with the ANSI call
    bool wide = false;  // string type written with the Unicode call: bytes are UTF-16 as they are
};

// Random values, each type with sizes from nothing to 64 KiB.
class ValueGenerator {
public:
    // A fixed seed makes every case reproduce.
    explicit ValueGenerator(std::uint32_t seed) : random_(seed) {}

    RawValue Next() {
        static const DWORD kTypes[] = {REG_NONE,
                                       REG_SZ,
                                       REG_EXPAND_SZ,
                                       REG_BINARY,
                                       REG_DWORD,
                                       REG_DWORD_BIG_ENDIAN,
                                       REG_LINK,
                                       REG_MULTI_SZ,
                                       REG_RESOURCE_LIST,
                                       REG_FULL_RESOURCE_DESCRIPTOR,
                                       REG_RESOURCE_REQUIREMENTS_LIST,
                                       REG_QWORD,
                                       0x7F,
                                       0x12345678,
                                       REG_SZ,
                                       REG_MULTI_SZ,
                                       REG_DWORD};
        RawValue value;
        value.type = kTypes[Below(std::size(kTypes))];
        const size_t size = Size();
        static const char* const kContents[] = {"random",           "zeros",       "no NUL", "embedded NULs",
                                                "not in code page", "version text"};
        const size_t content = Below(std::size(kContents));
        for (size_t i = 0; i < size; ++i) value.bytes.push_back(static_cast<char>(Byte(content, i)));
        value.wide = IsStringType(value.type) && Below(3) == 0;
        value.label = "type " + std::to_string(value.type) + ", " + std::to_string(size) + " bytes of " +
                      kContents[content] + (value.wide ? ", written as UTF-16" : "");
        return value;
    }

private:
    size_t Below(size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(random_); }

    size_t Size() {
        switch (Below(8)) {
            case 0:
                return Below(9);  // 0..8: around a double word
            case 1:
                return 2 * Below(100) + 9;  // odd
            case 2:
                return Below(4096);
            case 3:
                return Below(2) == 0 ? 65536 : 65535;
            default:
                return Below(40);
        }
    }

    std::uint8_t Byte(size_t content, size_t index) {
        // Bytes that cp1252 leaves undefined, and a lead byte of other code pages.
        static const std::uint8_t kUndefined[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0xE0};
        static const char kVersion[] = "2.81.1117.0";
        switch (content) {
            case 0:
                return static_cast<std::uint8_t>(Below(256));
            case 1:
                return 0;
            case 2:
                return static_cast<std::uint8_t>(1 + Below(255));
            case 3:
                return Below(4) == 0 ? 0 : static_cast<std::uint8_t>('0' + Below(10));
            case 4:
                return Below(2) == 0 ? kUndefined[Below(std::size(kUndefined))] : static_cast<std::uint8_t>('2');
            default:
                return static_cast<std::uint8_t>(kVersion[index % (sizeof(kVersion) - 1)]);
        }
    }

    std::mt19937 random_;
};

// Writes exactly the value's bytes. The platform counts a NUL that follows
// text data as its terminator, so a guard byte that is no NUL comes after them.
LONG WriteRaw(HKEY key, const wchar_t* name, const RawValue& value) {
    const std::string guarded = value.bytes + 'G';
    const auto* data = reinterpret_cast<const BYTE*>(guarded.data());
    const auto size = static_cast<DWORD>(value.bytes.size());
    if (value.wide) return ::RegSetValueExW(key, name, 0, value.type, data, size);
    char ansiName[64] = {};
    ::WideCharToMultiByte(CP_ACP, 0, name, -1, ansiName, sizeof(ansiName), nullptr, nullptr);
    return ::RegSetValueExA(key, ansiName, 0, value.type, data, size);
}

// The code page's character for each byte: one character per byte in a
// single-byte code page.
std::wstring BytesAsAnsiText(const std::string& bytes) {
    std::wstring text;
    for (const char byte : bytes) {
        wchar_t c = 0;
        ::MultiByteToWideChar(CP_ACP, 0, &byte, 1, &c, 1);
        text.push_back(c);
    }
    return text;
}

bool SingleByteCodePage() {
    CPINFO info{};
    return ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}

// What the stored text looks like to a reader of the ANSI call, or nothing
// when that cannot be told without the platform's own conversion.
std::optional<std::string> AnsiView(const RawValue& value) {
    if (!value.wide) return value.bytes;
    if (value.bytes.size() % 2 != 0) return std::nullopt;
    std::string ansi;
    for (size_t i = 0; i < value.bytes.size(); i += 2) {
        if (value.bytes[i + 1] != 0 || static_cast<unsigned char>(value.bytes[i]) >= 0x80) return std::nullopt;
        ansi.push_back(value.bytes[i]);
    }
    return ansi;
}

std::string ExpandedByPlatform(const std::string& text) {
    const DWORD size = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::string buffer(size, '\0');
    const DWORD written = ::ExpandEnvironmentStringsA(text.c_str(), buffer.data(), size);
    if (written == 0 || written > size) return text;
    buffer.resize(std::min<size_t>(written - 1, buffer.find('\0')));
    return buffer;
}

// The value the registry class must return for the stored value, or nothing
// when only the kind can be told.
std::optional<TaggedValue> ExpectedRead(const RawValue& value) {
    if (IsStringType(value.type)) {
        std::optional<std::string> ansi = AnsiView(value);
        if (!ansi || !SingleByteCodePage()) return std::nullopt;
        // One terminator is dropped; NULs before it stay.
        if (!ansi->empty() && ansi->back() == '\0') ansi->pop_back();
        if (value.type == REG_EXPAND_SZ) {
            // The platform expands up to the first NUL.
            return TaggedValue(BytesAsAnsiText(ExpandedByPlatform(ansi->substr(0, ansi->find('\0')))));
        }
        return TaggedValue(BytesAsAnsiText(*ansi));
    }
    if (value.type == REG_DWORD || value.type == REG_DWORD_BIG_ENDIAN) {
        if (value.bytes.size() > 4) return TaggedValue(std::wstring(kDefaultMarker));
        std::uint8_t b[4] = {};
        for (size_t i = 0; i < value.bytes.size(); ++i) b[i] = static_cast<std::uint8_t>(value.bytes[i]);
        const std::uint32_t little = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        const std::uint32_t big = b[3] | b[2] << 8 | b[1] << 16 | static_cast<std::uint32_t>(b[0]) << 24;
        return TaggedValue(static_cast<std::int32_t>(value.type == REG_DWORD ? little : big));
    }
    return TaggedValue(ByteArray(value.bytes.begin(), value.bytes.end()));
}

// How the version page turns a value into text: the text itself, a number in
// decimals, bytes as UTF-16 memory (an odd last byte dropped).
std::wstring AsText(const TaggedValue& value) {
    if (const auto* text = value.As<std::wstring>()) return *text == kDefaultMarker ? std::wstring() : *text;
    if (const auto* number = value.As<std::int32_t>()) return std::to_wstring(*number);
    if (const auto* bytes = value.As<ByteArray>()) {
        std::wstring text;
        for (size_t i = 0; i + 1 < bytes->size(); i += 2)
            text.push_back(static_cast<wchar_t>((*bytes)[i] | (*bytes)[i + 1] << 8));
        return text;
    }
    return {};
}

// The first four characters of the version text, which ends at its first NUL.
std::wstring ExpectedPrefix(const TaggedValue& value) {
    std::wstring text = AsText(value);
    text.resize(std::min(text.find(L'\0'), text.size()));
    return text.substr(0, 4);
}

// ---- the fixture -----------------------------------------------------------------------------

// The installed MDAC version value, put back as it was (key, type and bytes).
class SavedVersionValue {
public:
    SavedVersionValue() {
        HKEY key = nullptr;
        keyExisted_ = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataAccess, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
        const UniqueHkey owned(key);
        if (!keyExisted_) return;
        DWORD bytes = 0;
        if (::RegQueryValueExW(key, kVersionName, nullptr, &type_, nullptr, &bytes) != ERROR_SUCCESS) return;
        data_.resize(bytes);
        valueExisted_ = ::RegQueryValueExW(key, kVersionName, nullptr, &type_, data_.data(), &bytes) == ERROR_SUCCESS;
        data_.resize(bytes);
    }
    ~SavedVersionValue() {
        if (!keyExisted_) {
            ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kDataAccess);
            return;
        }
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataAccess, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        const UniqueHkey owned(key);
        if (valueExisted_) {
            ::RegSetValueExW(key, kVersionName, 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
        } else {
            ::RegDeleteValueW(key, kVersionName);
        }
    }
    SavedVersionValue(const SavedVersionValue&) = delete;
    SavedVersionValue& operator=(const SavedVersionValue&) = delete;

private:
    bool keyExisted_ = false;
    bool valueExisted_ = false;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> data_;
};

class BadInputRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::make_unique<SavedVersionValue>();
        HKEY raw = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
                  ERROR_SUCCESS);
        scratch_.reset(raw);
        ASSERT_EQ(
            ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDataAccess, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
        dataAccess_.reset(raw);
    }
    void TearDown() override {
        form.reset();
        scratch_.reset();
        dataAccess_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
        saved_.reset();
    }

    // Reads as the version page does: text expected, empty text by default.
    static TaggedValue ReadThroughClass(HKEY root, const std::wstring& section, const std::wstring& name,
                                        std::int32_t& type) {
        cRegistry registry;
        registry.SetClassKey(root);
        registry.SetSectionKey(section);
        registry.SetValueType(REG_SZ);
        registry.SetValueKey(name);
        registry.SetDefault(std::wstring(kDefaultMarker));
        TaggedValue value = registry.Value();
        type = registry.ValueType();
        return value;
    }

    std::unique_ptr<frmMain> form;
    std::unique_ptr<SavedVersionValue> saved_;
    UniqueHkey scratch_;
    UniqueHkey dataAccess_;
};

// ---- the registry class ------------------------------------------------------------------------

TEST_F(BadInputRegistry, TheRegistryClassReadsEveryRandomValueExactly) {
    if (!SingleByteCodePage()) std::printf("[   NOTE   ] multi-byte ANSI code page: texts checked by kind only\n");
    ValueGenerator generator(kSeed);
    constexpr int kCases = 1500;
    int exact = 0, kindOnly = 0, failures = 0;
    for (int i = 0; i < kCases && failures < 10; ++i) {
        const RawValue value = generator.Next();
        const std::wstring name = L"Value" + std::to_wstring(i % 16);
        struct Place {
            const char* what;
            HKEY root;
            HKEY key;
            std::wstring section, name;
        };
        const Place places[] = {{"scratch key", HKEY_CURRENT_USER, scratch_.get(), kScratch, name},
                                {"MDAC version", HKEY_LOCAL_MACHINE, dataAccess_.get(), kDataAccess, kVersionName}};
        const std::optional<TaggedValue> expected = ExpectedRead(value);
        for (const Place& place : places) {
            const std::string context = "case " + std::to_string(i) + " (seed " + std::to_string(kSeed) + "), " +
                                        value.label + ", " + place.what + ", stored " + Hex(value.bytes);
            ASSERT_EQ(WriteRaw(place.key, place.name.c_str(), value), ERROR_SUCCESS) << context;
            std::int32_t type = 0;
            TaggedValue found;
            try {
                found = ReadThroughClass(place.root, place.section, place.name, type);
            } catch (const std::exception& error) {
                ADD_FAILURE() << context << ": raised " << error.what();
                ++failures;
                continue;
            }
            EXPECT_EQ(type, static_cast<std::int32_t>(value.type)) << context;
            if (expected) {
                ++exact;
                if (Show(found) != Show(*expected)) {
                    ++failures;
                    ADD_FAILURE() << context << "\n  found    " << Show(found) << "\n  expected " << Show(*expected);
                }
            } else {
                ++kindOnly;
                ASSERT_EQ(found.Kind(), ValueKind::Text) << context << ": " << Show(found);
                // Never more characters than the stored UTF-16 holds.
                EXPECT_LE(found.As<std::wstring>()->size(), value.bytes.size() / 2 + 1) << context;
            }
        }
    }
    std::printf("[   NOTE   ] %d random values, %d reads compared exactly, %d by kind only\n", kCases, exact, kindOnly);
    EXPECT_EQ(failures, 0);
}

// ---- the version page ---------------------------------------------------------------------------

// The label's text after the round trip through the ANSI code page.
std::wstring AsShown(const std::wstring& text) {
    if (text.empty()) return text;
    const int bytes =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), bytes, nullptr, nullptr);
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, nullptr, 0);
    std::wstring shown(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), bytes, shown.data(), chars);
    return shown;
}

// The verdict read independently of the page: blanks, then the leading
// decimal number of the prefix, compared with 2.81.
bool IsLatest(const std::wstring& prefix) {
    size_t at = prefix.find_first_not_of(L" \t");
    std::string number;
    bool point = false;
    for (; at < prefix.size(); ++at) {
        const wchar_t c = prefix[at];
        if (c >= L'0' && c <= L'9') {
            number.push_back(static_cast<char>(c));
        } else if (c == L'.' && !point) {
            point = true;
            number.push_back('.');
        } else {
            break;
        }
    }
    if (number.find_first_of("0123456789") == std::string::npos) return false;
    return std::stod(number) >= 2.81;
}

std::wstring ExpectedMdacDescription(const std::wstring& prefix) {
    using pagetext::MdacVerdict;
    const MdacVerdict verdict = IsLatest(prefix)
                                    ? MdacVerdict::Latest
                                    : (harness::Profile() == "xp" ? MdacVerdict::XpHint : MdacVerdict::Newer);
    return pagetext::MdacDescription(AsShown(prefix), verdict);
}

// Values picked by hand: empty, short, unterminated, with NULs, numbers,
// bytes holding UTF-16 text, and 64 KiB of each kind.
std::vector<RawValue> HandPickedValues() {
    const auto utf16 = [](const std::wstring& text) {
        std::string bytes;
        for (const wchar_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        return bytes;
    };
    return {
        {"text", REG_SZ, std::string("2.81.1117.0\0", 12)},
        {"empty text", REG_SZ, ""},
        {"one character", REG_SZ, "2"},
        {"no terminator", REG_SZ, "2.81"},
        {"NUL after two characters", REG_SZ,
         std::string("2.\0"
                     "81\0",
                     6)},
        {"multi-string whose first string is short", REG_MULTI_SZ,
         std::string("2.8\0"
                     "1\0\0",
                     7)},
        {"multi-string", REG_MULTI_SZ, std::string("2.81.1117.0\0\0", 13)},
        {"expandable text", REG_EXPAND_SZ, std::string("%WIZARD_NO_SUCH_VARIABLE%\0", 26)},
        {"expandable version", REG_EXPAND_SZ, std::string("2.82%PATH%\0", 11)},
        {"bytes the code page leaves undefined", REG_SZ, "\x81\x8D\x8F\x90\x9D"},
        {"leading blanks", REG_SZ, std::string(" 2.9\0", 5)},
        {"UTF-16 text written as UTF-16", REG_SZ, utf16(L"2.81.1117.0") + std::string(2, '\0'), true},
        {"UTF-16 with an odd byte", REG_SZ, utf16(L"2.81") + "\x01", true},
        {"one byte as UTF-16", REG_SZ, "2", true},
        {"number", REG_DWORD, std::string("\x03\x00\x00\x00", 4)},
        {"number of one byte", REG_DWORD, "\x02"},
        {"number of five bytes", REG_DWORD, "\x01\x02\x03\x04\x05"},
        {"big-endian number", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x02", 4)},
        {"bytes of UTF-16 text", REG_BINARY, utf16(L"2.81")},
        {"three bytes", REG_BINARY, std::string("2\0.", 3)},
        {"no bytes", REG_BINARY, ""},
        {"64-bit number", REG_QWORD, std::string("\x32\x00\x2E\x00\x39\x00\x00\x00", 8)},
        {"nothing typed", REG_NONE, ""},
        {"unknown type", 0x12345678, "2.81"},
        {"64 KiB of nines", REG_SZ, std::string(65536, '9')},
        {"64 KiB of expandable text", REG_EXPAND_SZ, std::string(65536, '2')},
        {"64 KiB of zeros", REG_MULTI_SZ, std::string(65536, '\0')},
        {"64 KiB number", REG_DWORD, std::string(65536, '\x01')},
        {"64 KiB of bytes", REG_BINARY, std::string(65536, '\x32')},
    };
}

TEST_F(BadInputRegistry, TheVersionPageShowsTheFirstFourCharactersAndASoundVerdict) {
    std::vector<RawValue> values = HandPickedValues();
    ValueGenerator generator(kSeed ^ 0xA5A5u);
    for (int i = 0; i < 40; ++i) {
        RawValue value = generator.Next();
        value.label = "random " + std::to_string(i) + " (seed " + std::to_string(kSeed ^ 0xA5A5u) + "), " + value.label;
        values.push_back(value);
    }

    form = std::make_unique<frmMain>();
    ASSERT_TRUE(form->Create());
    form->Show();
    harness::Pump(*form, 30);
    int tried = 0;
    for (const RawValue& value : values) {
        SCOPED_TRACE(value.label + ", stored " + Hex(value.bytes));
        ASSERT_EQ(WriteRaw(dataAccess_.get(), kVersionName, value), ERROR_SUCCESS);
        if (form->WizardStep == 2) {
            harness::ClickWithMouse(form->Control(cmdZurück));
            ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == 1; }));
        }
        harness::ClickWithMouse(form->Control(cmdWeiter));
        ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == 2; })) << "the page did not open";
        harness::Pump(*form, 20);
        ++tried;

        ASSERT_EQ(harness::FrontPage(*form), pic2);
        const std::wstring prefix = form->MdacVersionPrefix;
        EXPECT_LE(prefix.size(), 4u) << ShowText(prefix);
        EXPECT_EQ(prefix.find(L'\0'), std::wstring::npos) << "a NUL in " << ShowText(prefix);
        const std::optional<TaggedValue> expected = ExpectedRead(value);
        if (expected) {
            EXPECT_EQ(ShowText(prefix), ShowText(ExpectedPrefix(*expected))) << "read " << Show(*expected);
        }
        const std::wstring description = WindowText(form->Control(lblMDACVerDescr));
        const std::wstring expectedDescription = ExpectedMdacDescription(prefix);
        EXPECT_EQ(description, expectedDescription)
            << "found " << ShowText(description, 400) << "\nexpected " << ShowText(expectedDescription, 400);
    }
    std::printf("[   NOTE   ] %d values shown on the version page\n", tried);
}

// A fresh window per value: the icons of the verdict are set once per window.
TEST_F(BadInputRegistry, TheVerdictIconsFollowTheShownVersion) {
    struct Case {
        RawValue value;
        bool latest;
    };
    const Case cases[] = {
        {{"NUL after the version", REG_MULTI_SZ, std::string("2.81\0\0", 6)}, true},
        {{"short first string", REG_MULTI_SZ,
          std::string("2.8\0"
                      "1\0\0",
                      7)},
         false},
        {{"64 KiB of nines", REG_SZ, std::string(65536, '9')}, true},
        {{"five-byte number", REG_DWORD, "\x09\x09\x09\x09\x09"}, false},
        {{"bytes of undefined characters", REG_BINARY, std::string("\x81\x8D\x8F\x90\x9D\x00", 6)}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.label);
        ASSERT_EQ(WriteRaw(dataAccess_.get(), kVersionName, c.value), ERROR_SUCCESS);
        form = std::make_unique<frmMain>();
        ASSERT_TRUE(form->Create());
        form->Show();
        harness::Pump(*form, 30);
        harness::ClickWithMouse(form->Control(cmdWeiter));
        ASSERT_TRUE(harness::PumpUntil(*form, [&] { return form->WizardStep == 2; }));
        harness::Pump(*form, 20);
        const auto shown = [&](ControlId id) {
            return (::GetWindowLongW(form->Control(id), GWL_STYLE) & WS_VISIBLE) != 0;
        };
        EXPECT_EQ(shown(imgMDACVerOK), c.latest) << ShowText(form->MdacVersionPrefix);
        EXPECT_EQ(shown(imgMDACVerProb), !c.latest) << ShowText(form->MdacVersionPrefix);
        form.reset();
    }
}

}  // namespace
