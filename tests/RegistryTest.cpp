// The registry class against the real registry of the test prefix. Cases are
// set up with the raw platform calls and checked the same way.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/ResourceCounters.h"
#include "winsupport/Handles.h"
#include "winsupport/RaisedError.h"
#include "winsupport/RegistryViews.h"
#include "winsupport/TextCodec.h"
#include "winsupport/cRegistry.h"

struct cRegistryTestAccess {
    static std::int32_t Swap(std::int32_t value) { return cRegistry::SwapByteOrder(value); }
    static std::wstring Expand(const std::wstring& text) { return cRegistry::ExpandEnvironmentText(text); }
};

namespace {

const char kTestRootA[] = "Software\\VelmorantTest";
const char kScratchA[] = "Software\\VelmorantTest\\Registry";
const std::wstring kScratch = L"Software\\VelmorantTest\\Registry";
const std::wstring kSource = L"wizard_tests.cRegistry";
const std::wstring kCurrentUser = L"-2147483647";
constexpr std::int32_t kRegistryError = 26001;
constexpr std::int32_t kWriteError = -2147194455;  // 0x800469A9
constexpr std::int32_t kUntouched = 77;
// No predefined root has this value: every call on it fails with an invalid handle.
const HKEY kBogusRoot = reinterpret_cast<HKEY>(static_cast<std::intptr_t>(0x12345));
const std::wstring kBogusRootText = L"74565";

std::string HexByte(unsigned char byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

// A readable form that also names the kind, so that a wrong kind shows as a difference.
std::string Show(const TaggedValue& value) {
    switch (value.Kind()) {
        case ValueKind::Empty:
            return "Empty";
        case ValueKind::Text:
            return "Text " + ::testing::PrintToString(*value.As<std::wstring>());
        case ValueKind::Integer16:
            return "Integer16 " + std::to_string(*value.As<std::int16_t>());
        case ValueKind::Integer32:
            return "Integer32 " + std::to_string(*value.As<std::int32_t>());
        case ValueKind::Number:
            return "Number " + std::to_string(*value.As<double>());
        case ValueKind::Date:
            return "Date " + std::to_string(value.As<DateValue>()->serial);
        case ValueKind::Boolean:
            return *value.As<bool>() ? "Boolean true" : "Boolean false";
        case ValueKind::Bytes: {
            std::string text = "Bytes[" + std::to_string(value.As<ByteArray>()->size()) + "]";
            size_t shown = 0;
            for (const std::uint8_t byte : *value.As<ByteArray>()) {
                if (++shown > 32) return text + " ...";
                text += " " + HexByte(byte);
            }
            return text;
        }
    }
    return "?";
}

std::string Hex(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) text += HexByte(static_cast<unsigned char>(c)) + " ";
    return text;
}

ByteArray Bytes(const std::string& raw) {
    return ByteArray(raw.begin(), raw.end());
}

struct Stored {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::string data;
};

Stored ReadRaw(const char* section, const std::string& name) {
    Stored stored;
    HKEY raw = nullptr;
    stored.status = ::RegOpenKeyExA(HKEY_CURRENT_USER, section, 0, KEY_QUERY_VALUE, &raw);
    if (stored.status != ERROR_SUCCESS) return stored;
    const UniqueHkey key(raw);
    DWORD size = 0;
    stored.status = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &stored.type, nullptr, &size);
    if (stored.status != ERROR_SUCCESS) return stored;
    std::vector<BYTE> data(size + 1, 0);
    stored.status = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &stored.type, data.data(), &size);
    stored.data.assign(reinterpret_cast<const char*>(data.data()), size);
    return stored;
}

bool RawKeyExists(HKEY root, const char* section) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(root, section, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return false;
    const UniqueHkey key(raw);
    return true;
}

std::wstring ExpandedByPlatform(const char* text) {
    const DWORD size = ::ExpandEnvironmentStringsA(text, nullptr, 0);
    std::string buffer(size, '\0');
    ::ExpandEnvironmentStringsA(text, buffer.data(), size);
    buffer.resize(buffer.find('\0'));
    return FromAnsi(buffer);
}

std::optional<RaisedError> RaisedBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const RaisedError& error) {
        return error;
    }
    return std::nullopt;
}

void ExpectRaised(const std::optional<RaisedError>& found, std::int32_t number, const std::wstring& source,
                  const std::wstring& description, const std::string& context) {
    ASSERT_TRUE(found.has_value()) << context << ": nothing raised";
    EXPECT_EQ(found->Number(), number) << context;
    EXPECT_EQ(found->Source(), source) << context;
    EXPECT_EQ(found->Description(), description) << context;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestRootA);
        HKEY raw = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExA(HKEY_CURRENT_USER, kScratchA, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
        scratch_.reset(raw);
    }
    void TearDown() override {
        scratch_.reset();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestRootA);
    }

    // Stores exactly these bytes. The platform counts a NUL that follows text
    // data as its terminator, so a guard byte that is no NUL comes after them.
    void WriteRaw(const std::string& name, DWORD type, const std::string& data) {
        const std::string guarded = data + 'G';
        ASSERT_EQ(::RegSetValueExA(scratch_.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                                   static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS)
            << name;
    }

    // A registry object on the scratch key whose ValueType proves what a call changed.
    static cRegistry OnScratch(const std::wstring& name, std::int32_t valueType = kUntouched) {
        cRegistry registry;
        registry.SetClassKey(HKEY_CURRENT_USER);
        registry.SetSectionKey(kScratch);
        registry.SetValueKey(name);
        registry.SetValueType(valueType);
        return registry;
    }

    static std::wstring WriteFailure(const std::wstring& root, const std::wstring& section, const std::wstring& name,
                                     const std::wstring& valueText) {
        return L"Failed to set registry value Key: '" + root + L"',Section: '" + section + L"',Key: '" + name +
               L"' to value: '" + valueText + L"'";
    }

    UniqueHkey scratch_;
};

// ---- Reading -----------------------------------------------------------------

struct ReadCase {
    const char* name;
    DWORD type;
    std::string stored;
    TaggedValue expected;
};

TEST_F(RegistryTest, ReadsEachStoredTypeByItsConversion) {
    const ReadCase cases[] = {
        {"text with terminator", REG_SZ, std::string("2.81.1117.0\0", 12), L"2.81.1117.0"},
        {"text without terminator", REG_SZ, "abc", L"abc"},
        {"text of one NUL", REG_SZ, std::string("\0", 1), L""},
        {"empty text", REG_SZ, "", L""},
        {"empty expandable text", REG_EXPAND_SZ, "", L""},
        {"expandable text without variable", REG_EXPAND_SZ, std::string("C:\\x\0", 5), L"C:\\x"},
        {"empty multi-string", REG_MULTI_SZ, "", L""},
        {"multi-string", REG_MULTI_SZ, std::string("a\0b\0\0", 5), std::wstring(L"a\0b\0", 4)},
        {"umlauts", REG_SZ,
         std::string("Schlie\xdf"
                     "en\0",
                     10),
         L"Schlie\u00dfen"},
        {"more umlauts", REG_MULTI_SZ,
         std::string("\xc4nderung\0Gr\xfc\xdf"
                     "e \xd6l\0\0",
                     19),
         std::wstring(L"\u00c4nderung\0Gr\u00fc\u00dfe \u00d6l\0", 18)},
        {"number", REG_DWORD, std::string("\x07\x00\x00\x00", 4), std::int32_t{7}},
        {"negative number", REG_DWORD, "\xfe\xff\xff\xff", std::int32_t{-2}},
        {"smallest number", REG_DWORD, std::string("\x00\x00\x00\x80", 4), std::int32_t{INT32_MIN}},
        {"big-endian number", REG_DWORD_BIG_ENDIAN, "\x12\x34\x56\x78", std::int32_t{305419896}},
        {"big-endian negative", REG_DWORD_BIG_ENDIAN, "\xff\xff\xff\xfe", std::int32_t{-2}},
        {"number of two bytes", REG_DWORD, "\x01\x02", std::int32_t{0x0201}},
        {"number of no bytes", REG_DWORD, "", std::int32_t{0}},
        {"big-endian of two bytes", REG_DWORD_BIG_ENDIAN, "\x12\x34", std::int32_t{0x12340000}},
        {"binary", REG_BINARY, std::string("\x00\x01\xfe\xff", 4), Bytes(std::string("\x00\x01\xfe\xff", 4))},
        {"empty binary", REG_BINARY, "", ByteArray{}},
        {"none", REG_NONE, std::string("x\0y", 3), Bytes(std::string("x\0y", 3))},
        {"link", REG_LINK, std::string("\x41\x00", 2), Bytes(std::string("\x41\x00", 2))},
        {"64-bit number", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8),
         Bytes("\x01\x02\x03\x04\x05\x06\x07\x08")},
        {"resource list", REG_RESOURCE_LIST, "abc", Bytes("abc")},
    };
    for (const ReadCase& c : cases) {
        WriteRaw(c.name, c.type, c.stored);
        cRegistry registry = OnScratch(std::wstring(c.name, c.name + std::char_traits<char>::length(c.name)));
        registry.SetDefault(L"default");
        EXPECT_EQ(Show(registry.Value()), Show(c.expected)) << c.name << ", stored " << Hex(c.stored);
        EXPECT_EQ(registry.ValueType(), static_cast<std::int32_t>(c.type)) << c.name;
    }
}

TEST_F(RegistryTest, ExpandsEnvironmentVariablesOfExpandableText) {
    WriteRaw("Path", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15));
    const std::wstring expected = ExpandedByPlatform("%SystemRoot%\\x");
    ASSERT_NE(expected, L"%SystemRoot%\\x") << "the prefix defines SystemRoot";
    cRegistry registry = OnScratch(L"Path");
    EXPECT_EQ(Show(registry.Value()), Show(expected));
    EXPECT_EQ(registry.ValueType(), std::int32_t{REG_EXPAND_SZ});
}

TEST_F(RegistryTest, ReadsValuesOf64KiB) {
    std::string binary(65536, '\0');
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7 + 3);
    WriteRaw("Binary", REG_BINARY, binary);
    std::wstring expectedText(65535, L'y');
    WriteRaw("Text", REG_SZ, std::string(65535, 'y') + '\0');

    cRegistry registry = OnScratch(L"Binary");
    const TaggedValue bytes = registry.Value();
    ASSERT_EQ(bytes.Kind(), ValueKind::Bytes) << Show(bytes);
    EXPECT_TRUE(*bytes.As<ByteArray>() == Bytes(binary)) << Show(bytes);

    registry.SetValueKey(L"Text");
    const TaggedValue text = registry.Value();
    ASSERT_EQ(text.Kind(), ValueKind::Text) << Show(text);
    EXPECT_EQ(text.As<std::wstring>()->size(), expectedText.size());
    EXPECT_TRUE(*text.As<std::wstring>() == expectedText);
}

// Four bytes or fewer make a number; more are no number, so the default stands.
TEST_F(RegistryTest, ReturnsTheDefaultForANumberOfMoreThanFourBytes) {
    WriteRaw("Wide", REG_DWORD, "\x01\x02\x03\x04\x05");
    WriteRaw("WideBig", REG_DWORD_BIG_ENDIAN, "\x01\x02\x03\x04\x05\x06\x07\x08");
    for (const wchar_t* name : {L"Wide", L"WideBig"}) {
        cRegistry registry = OnScratch(name);
        registry.SetDefault(std::int32_t{-9});
        EXPECT_EQ(Show(registry.Value()), Show(std::int32_t{-9})) << ::testing::PrintToString(std::wstring(name));
    }
}

struct DefaultCase {
    const char* what;
    TaggedValue fallback;
};

TEST_F(RegistryTest, ReturnsTheDefaultOfItsOwnKindWhenKeyOrValueIsMissing) {
    const DefaultCase defaults[] = {
        {"empty text", std::wstring()},
        {"text", L"fallback"},
        {"int32", std::int32_t{5}},
        {"int16", std::int16_t{-3}},
        {"nothing", TaggedValue()},
        {"bytes", Bytes("\x01\x02")},
        {"boolean", true},
    };
    WriteRaw("Present", REG_SZ, std::string("here\0", 5));
    struct Place {
        const char* what;
        HKEY root;
        std::wstring section, name;
    };
    const Place places[] = {
        {"missing key", HKEY_CURRENT_USER, kScratch + L"\\Missing", L"Present"},
        {"missing value", HKEY_CURRENT_USER, kScratch, L"Missing"},
        {"invalid root", kBogusRoot, kScratch, L"Present"},
    };
    for (const Place& place : places) {
        for (const DefaultCase& d : defaults) {
            cRegistry registry;
            registry.SetClassKey(place.root);
            registry.SetSectionKey(place.section);
            registry.SetValueKey(place.name);
            registry.SetValueType(kUntouched);
            registry.SetDefault(d.fallback);
            EXPECT_EQ(Show(registry.Value()), Show(d.fallback)) << place.what << ", default " << d.what;
            EXPECT_EQ(registry.ValueType(), kUntouched) << place.what << ", default " << d.what;
        }
    }
}

// A writer keeps switching the value between a short and a long text while it
// is read: every read must be one of the two whole texts or the default.
TEST_F(RegistryTest, NeverReturnsPartOfAValueThatChangesSizeWhileRead) {
    const std::string shortText = "short";
    const std::string longText(300, 'L');
    WriteRaw("Moving", REG_SZ, shortText + '\0');
    struct Writer {
        const std::string& shortText;
        const std::string& longText;
        std::atomic<bool> stop{false};
        std::atomic<long> writes{0};

        static DWORD WINAPI Run(void* self) {
            static_cast<Writer*>(self)->Write();
            return 0;
        }
        void Write() {
            HKEY raw = nullptr;
            if (::RegOpenKeyExA(HKEY_CURRENT_USER, kScratchA, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return;
            const UniqueHkey key(raw);
            for (bool longer = true; !stop.load(); longer = !longer) {
                const std::string& text = longer ? longText : shortText;
                if (::RegSetValueExA(key.get(), "Moving", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS) {
                    ++writes;
                }
            }
        }
    } writer{shortText, longText};
    // A Win32 thread: the program's C++ library has no std::thread.
    const UniqueKernelHandle thread(::CreateThread(nullptr, 0, &Writer::Run, &writer, 0, nullptr));
    ASSERT_TRUE(thread);
    struct Joiner {
        Writer& writer;
        HANDLE thread;
        ~Joiner() {
            writer.stop = true;
            ::WaitForSingleObject(thread, INFINITE);
        }
    } joiner{writer, thread.get()};
    std::atomic<long>& writes = writer.writes;
    for (int wait = 0; wait < 500 && writes.load() < 2; ++wait) ::Sleep(10);
    ASSERT_GE(writes.load(), 2) << "the writer does not change the value";
    cRegistry registry = OnScratch(L"Moving");
    registry.SetDefault(L"default");
    const std::string allowed[] = {Show(std::wstring(shortText.begin(), shortText.end())),
                                   Show(std::wstring(longText.begin(), longText.end())), Show(L"default")};
    constexpr int kReads = 3000;
    int wrong = 0;
    int seen[3] = {};
    for (int i = 0; i < kReads && wrong < 5; ++i) {
        const std::string found = Show(registry.Value());
        const auto match = std::find(std::begin(allowed), std::end(allowed), found);
        if (match == std::end(allowed)) {
            ++wrong;
            ADD_FAILURE() << "read " << i << " found " << found;
        } else {
            ++seen[match - std::begin(allowed)];
        }
    }
    // Falling back needs the value to change on several reads in a row.
    EXPECT_LE(seen[2], kReads / 50) << seen[0] << " short, " << seen[1] << " long, " << seen[2] << " default";
}

// ---- Keys ----------------------------------------------------------------------

TEST_F(RegistryTest, TellsWhetherAKeyExistsWithoutRaising) {
    struct Case {
        HKEY root;
        std::wstring section;
        bool exists;
    };
    const Case cases[] = {
        {HKEY_CURRENT_USER, kScratch, true},
        {HKEY_CURRENT_USER, L"Software\\VelmorantTest", true},
        {HKEY_CURRENT_USER, kScratch + L"\\Missing", false},
        {HKEY_LOCAL_MACHINE, L"Software\\VelmorantTest\\Registry", false},
        {kBogusRoot, kScratch, false},
    };
    for (const Case& c : cases) {
        cRegistry registry;
        registry.SetClassKey(c.root);
        registry.SetSectionKey(c.section);
        bool found = !c.exists;
        EXPECT_NO_THROW(found = registry.KeyExists()) << ::testing::PrintToString(c.section);
        EXPECT_EQ(found, c.exists) << ::testing::PrintToString(c.section);
    }
}

TEST_F(RegistryTest, CreatesMissingKeysAlongThePath) {
    cRegistry registry = OnScratch(L"");
    registry.SetSectionKey(kScratch + L"\\A\\B\\C");
    ASSERT_FALSE(RawKeyExists(HKEY_CURRENT_USER, "Software\\VelmorantTest\\Registry\\A"));
    EXPECT_TRUE(registry.CreateKey());
    EXPECT_TRUE(RawKeyExists(HKEY_CURRENT_USER, "Software\\VelmorantTest\\Registry\\A\\B\\C"));
    EXPECT_TRUE(registry.CreateKey()) << "an existing key";
    EXPECT_EQ(registry.ValueType(), kUntouched);
}

TEST_F(RegistryTest, RaisesWhenAKeyCannotBeCreated) {
    struct Case {
        const char* what;
        HKEY root;
        std::wstring section;
    };
    const Case cases[] = {
        {"invalid root", kBogusRoot, L"Software\\X"},
        {"name longer than 255", HKEY_CURRENT_USER, kScratch + L"\\" + std::wstring(300, L'n')},
    };
    for (const Case& c : cases) {
        cRegistry registry;
        registry.SetClassKey(c.root);
        registry.SetSectionKey(c.section);
        ExpectRaised(RaisedBy([&] { registry.CreateKey(); }), kRegistryError, kSource,
                     L"Failed to create registry Key: '" + c.section, c.what);
    }
}

TEST_F(RegistryTest, DeletesAKeyAndRaisesForAMissingOne) {
    cRegistry registry = OnScratch(L"");
    registry.SetSectionKey(kScratch + L"\\Leaf");
    ASSERT_TRUE(registry.CreateKey());
    EXPECT_TRUE(registry.DeleteKey());
    EXPECT_FALSE(RawKeyExists(HKEY_CURRENT_USER, "Software\\VelmorantTest\\Registry\\Leaf"));

    ExpectRaised(RaisedBy([&] { registry.DeleteKey(); }), kRegistryError, kSource,
                 L"Failed to delete registry Key: '" + kCurrentUser + L"',Section: '" + kScratch + L"\\Leaf",
                 "deleted twice");
}

TEST_F(RegistryTest, NamesTheRootInDecimalWhenDeletingFails) {
    ASSERT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, "Software\\X"));
    cRegistry registry;
    registry.SetClassKey(HKEY_LOCAL_MACHINE);
    registry.SetSectionKey(L"Software\\X");
    ExpectRaised(RaisedBy([&] { registry.DeleteKey(); }), kRegistryError, kSource,
                 L"Failed to delete registry Key: '-2147483646',Section: 'Software\\X", "local machine");
}

TEST_F(RegistryTest, DeletesAValueAndRaisesWhenKeyOrValueIsMissing) {
    WriteRaw("Doomed", REG_SZ, std::string("x\0", 2));
    WriteRaw("Kept", REG_SZ, std::string("y\0", 2));
    cRegistry registry = OnScratch(L"Doomed");
    EXPECT_TRUE(registry.DeleteValue());
    EXPECT_EQ(ReadRaw(kScratchA, "Doomed").status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadRaw(kScratchA, "Kept").data, std::string("y\0", 2));

    ExpectRaised(RaisedBy([&] { registry.DeleteValue(); }), kRegistryError, kSource,
                 L"Failed to delete registry Key: '" + kCurrentUser + L"',Section: '" + kScratch + L"',Key: 'Doomed",
                 "missing value");

    registry.SetSectionKey(kScratch + L"\\Missing");
    ExpectRaised(RaisedBy([&] { registry.DeleteValue(); }), kRegistryError, kSource,
                 L"Failed to open key '" + kCurrentUser + L"',Section: '" + kScratch + L"\\Missing' for delete access",
                 "missing key");
}

// ---- Writing -------------------------------------------------------------------

struct WriteCase {
    const char* what;
    std::int32_t valueType;
    TaggedValue value;
    DWORD storedType;
    std::string stored;
};

TEST_F(RegistryTest, WritesTextAsPlainOrExpandableByItsPercentSigns) {
    const WriteCase cases[] = {
        {"percent at the end", REG_SZ, L"100%", REG_SZ, std::string("100%\0", 5)},
        {"variable under type 1", REG_SZ, L"%SystemRoot%\\x", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15)},
        {"one character between", REG_SZ, L"%a%", REG_EXPAND_SZ, std::string("%a%\0", 4)},
        {"adjacent percents", REG_SZ, L"%%", REG_SZ, std::string("%%\0", 3)},
        {"adjacent percents under type 2", REG_EXPAND_SZ, L"x%%y", REG_SZ, std::string("x%%y\0", 5)},
        {"three percents", REG_SZ, L"%%%", REG_EXPAND_SZ, std::string("%%%\0", 4)},
        {"no percent under type 2", REG_EXPAND_SZ, L"plain", REG_SZ, std::string("plain\0", 6)},
        {"empty text", REG_SZ, L"", REG_SZ, std::string("\0", 1)},
        {"umlauts", REG_SZ, L"Schlie\u00dfen \u00c4\u00d6\u00dc", REG_SZ,
         std::string("Schlie\xdf"
                     "en \xc4\xd6\xdc\0",
                     14)},
        {"embedded NUL", REG_SZ, std::wstring(L"a\0b", 3), REG_SZ, std::string("a\0b\0", 4)},
        {"number as text", REG_SZ, std::int32_t{-42}, REG_SZ, std::string("-42\0", 4)},
        {"small number as text", REG_EXPAND_SZ, std::int16_t{7}, REG_SZ, std::string("7\0", 2)},
    };
    for (const WriteCase& c : cases) {
        cRegistry registry = OnScratch(L"Text", c.valueType);
        EXPECT_NO_THROW(registry.SetValue(c.value)) << c.what;
        const Stored found = ReadRaw(kScratchA, "Text");
        EXPECT_EQ(found.status, ERROR_SUCCESS) << c.what;
        EXPECT_EQ(found.type, c.storedType) << c.what;
        EXPECT_EQ(Hex(found.data), Hex(c.stored)) << c.what;
        EXPECT_EQ(registry.ValueType(), c.valueType) << c.what << ": a write leaves ValueType alone";
    }
}

TEST_F(RegistryTest, WritesWholeNumbersAsLittleEndianDoubleWords) {
    const WriteCase cases[] = {
        {"int16", REG_DWORD, std::int16_t{7}, REG_DWORD, std::string("\x07\x00\x00\x00", 4)},
        {"negative int16", REG_DWORD, std::int16_t{-1}, REG_DWORD, "\xff\xff\xff\xff"},
        {"int32", REG_DWORD, std::int32_t{-2}, REG_DWORD, "\xfe\xff\xff\xff"},
        {"int32 under big-endian type", REG_DWORD_BIG_ENDIAN, std::int32_t{0x12345678}, REG_DWORD, "\x78\x56\x34\x12"},
        {"int16 under big-endian type", REG_DWORD_BIG_ENDIAN, std::int16_t{0x0102}, REG_DWORD,
         std::string("\x02\x01\x00\x00", 4)},
    };
    for (const WriteCase& c : cases) {
        cRegistry registry = OnScratch(L"Number", c.valueType);
        EXPECT_NO_THROW(registry.SetValue(c.value)) << c.what;
        const Stored found = ReadRaw(kScratchA, "Number");
        EXPECT_EQ(found.type, c.storedType) << c.what;
        EXPECT_EQ(Hex(found.data), Hex(c.stored)) << c.what;
    }
}

TEST_F(RegistryTest, WritesNothingForANumberTypeAndAnythingButAWholeNumber) {
    const TaggedValue values[] = {L"7", 7.0, true, TaggedValue(), Bytes("\x07"), DateValue{7.0}};
    const std::string before("keep\0", 5);
    for (const std::int32_t valueType : {std::int32_t{REG_DWORD}, std::int32_t{REG_DWORD_BIG_ENDIAN}}) {
        for (const TaggedValue& value : values) {
            WriteRaw("Number", REG_SZ, before);
            cRegistry registry = OnScratch(L"Number", valueType);
            EXPECT_NO_THROW(registry.SetValue(value)) << "type " << valueType << ", " << Show(value);
            const Stored found = ReadRaw(kScratchA, "Number");
            EXPECT_EQ(found.type, static_cast<DWORD>(REG_SZ)) << "type " << valueType << ", " << Show(value);
            EXPECT_EQ(Hex(found.data), Hex(before)) << "type " << valueType << ", " << Show(value);
        }
    }
}

TEST_F(RegistryTest, WritesByteArraysAsBinary) {
    std::string large(65536, '\0');
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 13);
    const std::string cases[] = {std::string("\x00\x01\xfe\xff", 4), "", large};
    for (const std::string& bytes : cases) {
        cRegistry registry = OnScratch(L"Binary", REG_BINARY);
        EXPECT_NO_THROW(registry.SetValue(Bytes(bytes))) << bytes.size() << " bytes";
        const Stored found = ReadRaw(kScratchA, "Binary");
        EXPECT_EQ(found.type, static_cast<DWORD>(REG_BINARY)) << bytes.size() << " bytes";
        EXPECT_EQ(found.data.size(), bytes.size());
        EXPECT_TRUE(found.data == bytes) << bytes.size() << " bytes";
    }
}

TEST_F(RegistryTest, RaisesWithoutSourceOrDescriptionForBinaryOfAnythingButBytes) {
    const TaggedValue values[] = {L"abc", std::int32_t{1}, TaggedValue(), true};
    const std::string before("keep\0", 5);
    for (const TaggedValue& value : values) {
        WriteRaw("Binary", REG_SZ, before);
        cRegistry registry = OnScratch(L"Binary", REG_BINARY);
        ExpectRaised(RaisedBy([&] { registry.SetValue(value); }), kRegistryError, std::wstring(), std::wstring(),
                     Show(value));
        EXPECT_EQ(Hex(ReadRaw(kScratchA, "Binary").data), Hex(before)) << Show(value);
    }
}

TEST_F(RegistryTest, RaisesTheWriteErrorForAnUnknownType) {
    struct Case {
        std::int32_t valueType;
        TaggedValue value;
        std::wstring asText;
    };
    // An out-of-range date has no text: the registry failure still comes through.
    const Case cases[] = {
        {9, L"abc", L"abc"},
        {0, std::int32_t{-5}, L"-5"},
        {REG_MULTI_SZ, L"multi", L"multi"},
        {REG_QWORD, std::int16_t{12}, L"12"},
        {-1, Bytes(std::string("\x01\xab\xff\x00", 4)), L"01 AB FF 00"},
        {9, ByteArray{}, L""},
        {9, DateValue{1e10}, L""},
    };
    const std::string before("keep\0", 5);
    for (const Case& c : cases) {
        WriteRaw("Name", REG_SZ, before);
        cRegistry registry = OnScratch(L"Name", c.valueType);
        ExpectRaised(RaisedBy([&] { registry.SetValue(c.value); }), kWriteError, kSource,
                     WriteFailure(kCurrentUser, kScratch, L"Name", c.asText),
                     "type " + std::to_string(c.valueType) + ", " + Show(c.value));
        EXPECT_EQ(Hex(ReadRaw(kScratchA, "Name").data), Hex(before)) << "type " << c.valueType;
    }
}

TEST_F(RegistryTest, RaisesWithTheWriteDescriptionWhenTheKeyCannotBeCreated) {
    struct Case {
        HKEY root;
        std::wstring rootText, section;
        std::int32_t valueType;
        TaggedValue value;
        std::wstring asText;
    };
    const std::wstring tooLong = kScratch + L"\\" + std::wstring(300, L'n');
    const Case cases[] = {
        {kBogusRoot, kBogusRootText, L"Software\\X", REG_SZ, L"text", L"text"},
        {kBogusRoot, kBogusRootText, L"Software\\X", REG_BINARY, L"not bytes", L"not bytes"},
        {HKEY_CURRENT_USER, kCurrentUser, tooLong, REG_DWORD, std::int32_t{3}, L"3"},
        {HKEY_CURRENT_USER, kCurrentUser, tooLong, REG_BINARY, Bytes("\x10\x20"), L"10 20"},
    };
    for (const Case& c : cases) {
        cRegistry registry;
        registry.SetClassKey(c.root);
        registry.SetSectionKey(c.section);
        registry.SetValueKey(L"Name");
        registry.SetValueType(c.valueType);
        ExpectRaised(RaisedBy([&] { registry.SetValue(c.value); }), kRegistryError, kSource,
                     WriteFailure(c.rootText, c.section, L"Name", c.asText),
                     "root " + ::testing::PrintToString(c.rootText) + ", type " + std::to_string(c.valueType));
    }
}

TEST_F(RegistryTest, ReadsBackWhatItWrote) {
    cRegistry registry = OnScratch(L"Round", REG_SZ);
    registry.SetValue(L"Gr\u00fc\u00dfe %USERNAME%");
    EXPECT_EQ(ReadRaw(kScratchA, "Round").type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(Show(registry.Value()), Show(ExpandedByPlatform("Gr\xfc\xdf"
                                                              "e %USERNAME%")));
    EXPECT_EQ(registry.ValueType(), std::int32_t{REG_EXPAND_SZ});

    registry.SetValue(std::int32_t{1234});  // now written under the type just read
    EXPECT_EQ(Show(registry.Value()), Show(L"1234"));
    EXPECT_EQ(registry.ValueType(), std::int32_t{REG_SZ});
}

// ---- Handles -----------------------------------------------------------------

// GetProcessHandleCount answers 0 under Wine; the count falls back to the
// system's handle list there.
std::optional<size_t> HandleCount() {
    return counters::KernelHandles().value;
}

TEST_F(RegistryTest, LeavesNoHandleOpenAfterAnyOperation) {
    const std::optional<size_t> probe = HandleCount();
    if (!probe) GTEST_SKIP() << "neither GetProcessHandleCount nor the system handle list is available";
    {
        // The counter must see a handle that stays open, or it proves nothing.
        HKEY raw = nullptr;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kScratchA, 0, KEY_QUERY_VALUE, &raw), ERROR_SUCCESS);
        const UniqueHkey held(raw);
        ASSERT_GT(HandleCount().value_or(0), *probe) << "an open key is not counted";
    }
    WriteRaw("Text", REG_SZ, std::string("abc\0", 4));
    WriteRaw("Path", REG_EXPAND_SZ, std::string("%SystemRoot%\0", 13));
    WriteRaw("Number", REG_DWORD, "\x01\x02\x03\x04");

    const auto on = [](const std::wstring& section, const std::wstring& name, std::int32_t type) {
        cRegistry registry = OnScratch(name, type);
        registry.SetSectionKey(section);
        return registry;
    };
    const std::wstring missing = kScratch + L"\\Missing";
    const std::wstring tooLong = kScratch + L"\\" + std::wstring(300, L'n');
    struct Operation {
        const char* what;
        std::function<void()> run;
    };
    const Operation operations[] = {
        {"KeyExists found", [&] { on(kScratch, L"", 0).KeyExists(); }},
        {"KeyExists missing", [&] { on(missing, L"", 0).KeyExists(); }},
        {"CreateKey", [&] { on(kScratch + L"\\New\\Deeper", L"", 0).CreateKey(); }},
        {"CreateKey failing", [&] { on(tooLong, L"", 0).CreateKey(); }},
        {"DeleteKey",
         [&] {
             on(kScratch + L"\\Gone", L"", 0).CreateKey();
             on(kScratch + L"\\Gone", L"", 0).DeleteKey();
         }},
        {"DeleteKey failing", [&] { on(missing, L"", 0).DeleteKey(); }},
        {"DeleteValue",
         [&] {
             on(kScratch, L"Temp", REG_SZ).SetValue(L"t");
             on(kScratch, L"Temp", 0).DeleteValue();
         }},
        {"DeleteValue of missing value", [&] { on(kScratch, L"Missing", 0).DeleteValue(); }},
        {"DeleteValue in missing key", [&] { on(missing, L"Text", 0).DeleteValue(); }},
        {"Value text", [&] { on(kScratch, L"Text", 0).Value(); }},
        {"Value expandable", [&] { on(kScratch, L"Path", 0).Value(); }},
        {"Value number", [&] { on(kScratch, L"Number", 0).Value(); }},
        {"Value of missing value", [&] { on(kScratch, L"Missing", 0).Value(); }},
        {"Value in missing key", [&] { on(missing, L"Text", 0).Value(); }},
        {"SetValue text", [&] { on(kScratch, L"Out", REG_SZ).SetValue(std::int32_t{5}); }},
        {"SetValue number", [&] { on(kScratch, L"Out", REG_DWORD).SetValue(std::int32_t{5}); }},
        {"SetValue bytes", [&] { on(kScratch, L"Out", REG_BINARY).SetValue(Bytes("xy")); }},
        {"SetValue non-bytes as binary", [&] { on(kScratch, L"Out", REG_BINARY).SetValue(L"xy"); }},
        {"SetValue unknown type", [&] { on(kScratch, L"Out", 9).SetValue(L"xy"); }},
        {"SetValue failing key", [&] { on(tooLong, L"Out", REG_SZ).SetValue(L"xy"); }},
    };
    for (const Operation& operation : operations) {
        const auto runQuietly = [&] {
            try {
                operation.run();
            } catch (const RaisedError&) {
            }
        };
        runQuietly();  // first use may load and cache what the platform needs
        const size_t before = HandleCount().value_or(0);
        for (int i = 0; i < 5; ++i) runQuietly();
        const size_t after = HandleCount().value_or(0);
        EXPECT_LE(after, before) << operation.what << ": " << before << " handles before, " << after << " after";
    }
}

// ---- Helpers -------------------------------------------------------------------

TEST(cRegistrySwapByteOrder, ReversesTheFourBytes) {
    struct Case {
        std::uint32_t in, out;
    };
    const Case cases[] = {
        {0x12345678u, 0x78563412u}, {0u, 0u},
        {0xFFFFFFFFu, 0xFFFFFFFFu}, {0x000000FFu, 0xFF000000u},
        {0x80000000u, 0x00000080u}, {0x01020304u, 0x04030201u},
        {0xFF00FF00u, 0x00FF00FFu},
    };
    for (const Case& c : cases) {
        const std::int32_t in = static_cast<std::int32_t>(c.in);
        const std::int32_t found = cRegistryTestAccess::Swap(in);
        EXPECT_EQ(static_cast<std::uint32_t>(found), c.out) << std::hex << "0x" << c.in;
        EXPECT_EQ(cRegistryTestAccess::Swap(found), in) << std::hex << "0x" << c.in << " swapped twice";
    }
}

// Sets an environment variable for one test and restores the earlier state.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        const DWORD size = ::GetEnvironmentVariableA(name, nullptr, 0);
        if (size > 0) {
            std::string old(size, '\0');
            old.resize(::GetEnvironmentVariableA(name, old.data(), size));
            previous_ = old;
        }
        ::SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedVariable() { ::SetEnvironmentVariableA(name_, previous_ ? previous_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

TEST(cRegistryExpandEnvironmentText, ExpandsThroughTheAnsiCodePage) {
    const ScopedVariable greeting("VELMORANT_GREETING",
                                  "Gr\xfc\xdf"
                                  "e");
    struct Case {
        std::wstring text, expected;
    };
    const Case cases[] = {
        {L"", L""},
        {L"plain", L"plain"},
        {L"100%", L"100%"},
        {L"%VELMORANT_UNSET_NAME%", L"%VELMORANT_UNSET_NAME%"},
        {L"%VELMORANT_GREETING%!", L"Gr\u00fc\u00dfe!"},
        {L"\u00c4 %VELMORANT_GREETING% %VELMORANT_GREETING%", L"\u00c4 Gr\u00fc\u00dfe Gr\u00fc\u00dfe"},
        {L"%SystemRoot%\\x", ExpandedByPlatform("%SystemRoot%\\x")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cRegistryTestAccess::Expand(c.text), c.expected) << ::testing::PrintToString(c.text);
    }
}

// Past the platform's 32767-character limit the reported length can exceed what
// was written: the result must still end where the written text ends. (No
// input makes Wine's size query itself fail, so the unexpanded fallback for
// that has no case here.)
TEST(cRegistryExpandEnvironmentText, StopsAtTheWrittenEndOfAnOverlongExpansion) {
    const std::string part(30000, 'v');
    const ScopedVariable longValue("VELMORANT_LONG", part);
    const std::wstring text = L"%VELMORANT_LONG%%VELMORANT_LONG%";
    const std::wstring found = cRegistryTestAccess::Expand(text);
    const std::wstring full(60000, L'v');
    EXPECT_EQ(found.find(L'\0'), std::wstring::npos) << "a NUL at " << found.find(L'\0') << " of " << found.size();
    EXPECT_TRUE(found == text || (!found.empty() && full.compare(0, found.size(), found) == 0))
        << "neither the text nor a prefix of its expansion; " << found.size() << " characters";
}

}  // namespace

// ---- Both views' reader -------------------------------------------------------

// A class root as the inventory reads it: hundreds of keys, so that several
// threads share the search, and lists whose values are read in one pass.
TEST_F(RegistryTest, ViewKeyFindsEverySubkeyWithAChildInOrderAndReadsLongAndOtherValues) {
    std::vector<std::wstring> expected;
    for (int index = 0; index < 700; ++index) {
        const std::wstring name = L"Classes\\{" + std::to_wstring(100000 + index * 7919 % 100000) + L"}";
        const bool provider = index % 7 == 3;
        std::wstring path = kScratch + L"\\";
        path += name;
        path += provider ? L"\\OLE DB Provider" : L"\\InprocServer32";
        HKEY raw = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr),
                  ERROR_SUCCESS);
        const UniqueHkey created(raw);
        if (provider) expected.push_back(name.substr(std::wstring(L"Classes\\").size()));
    }
    const ViewKey classes(HKEY_CURRENT_USER, kScratch + L"\\Classes", OwnView());
    // In the enumeration's order, which is the registry's and not the creation's.
    std::vector<std::wstring> inOrder;
    for (const std::wstring& name : classes.SubkeyNames()) {
        if (std::find(expected.begin(), expected.end(), name) != expected.end()) inOrder.push_back(name);
    }
    EXPECT_EQ(classes.SubkeysHaving(L"OLE DB Provider"), inOrder);
    EXPECT_EQ(inOrder.size(), 100u);
    EXPECT_TRUE(ViewKey(HKEY_CURRENT_USER, kScratch + L"\\Missing", OwnView()).SubkeysHaving(L"x").empty());

    const std::wstring longText(5000, L'd');
    const auto setText = [this](const wchar_t* name, DWORD type, const std::wstring& text) {
        ASSERT_EQ(::RegSetValueExW(scratch_.get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    };
    setText(L"Short", REG_SZ, L"SQL Server");
    setText(L"Long", REG_EXPAND_SZ, longText);
    const DWORD number = 7;
    ASSERT_EQ(::RegSetValueExW(scratch_.get(), L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                               sizeof(number)),
              ERROR_SUCCESS);
    const ViewKey scratch(HKEY_CURRENT_USER, kScratch, OwnView());
    std::wstring text;
    ASSERT_TRUE(scratch.Text(L"Long", text));
    EXPECT_EQ(text, longText);
    EXPECT_FALSE(scratch.Text(L"Number", text));
    using Values = std::vector<std::pair<std::wstring, std::wstring>>;
    Values values = scratch.TextValues();
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (Values{{L"Long", longText}, {L"Number", L""}, {L"Short", L"SQL Server"}}));
}
