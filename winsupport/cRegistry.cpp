#include "winsupport/cRegistry.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "winsupport/DecimalText.h"
#include "winsupport/Handles.h"
#include "winsupport/RaisedError.h"
#include "winsupport/TextCodec.h"
#include "winsupport/modAPI.h"

namespace {

constexpr std::int32_t kRegistryError = 26001;
constexpr std::int32_t kWriteError = static_cast<std::int32_t>(0x800469a9u);
constexpr REGSAM kFullAccess = 0x3F;
// A value that keeps changing size between two reads is given up on after these.
constexpr int kReadAttempts = 4;

std::wstring ErrorSource() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size() || path.size() >= 32768) {
            path.resize(std::min<size_t>(length, path.size()));
            break;
        }
        path.resize(path.size() * 2);
    }
    std::string name = path.substr(path.find_last_of('\\') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return FromAnsi(name) + L".cRegistry";
}

[[noreturn]] void Raise(std::int32_t number, const std::wstring& description) {
    throw RaisedError(number, ErrorSource(), description);
}

std::wstring RootText(HKEY root) {
    return DecimalText(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(root)));
}

// An empty owner when the key cannot be opened; each caller decides whether that is an error.
UniqueHkey OpenKey(HKEY root, const std::wstring& section, REGSAM access) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, ToAnsi(section).c_str(), 0, access, &key) != ERROR_SUCCESS) return UniqueHkey();
    return UniqueHkey(key);
}

LONG CreateKeyHandle(HKEY root, const std::wstring& section, UniqueHkey& handle) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    char noClass[] = "";
    const LONG status = ::RegCreateKeyExA(root, ToAnsi(section).c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                          kFullAccess, nullptr, &key, &disposition);
    if (status == ERROR_SUCCESS) handle.reset(key);
    return status;
}

// Byte arrays have no OLE text form worth showing: they appear as hex bytes
// separated by spaces. A value that cannot be converted appears as empty
// text, so that the registry failure is what gets reported.
std::wstring DescribeValue(const TaggedValue& value) {
    if (const ByteArray* bytes = value.As<ByteArray>()) {
        static const wchar_t digits[] = L"0123456789ABCDEF";
        std::wstring text;
        for (const std::uint8_t byte : *bytes) {
            if (!text.empty()) text += L' ';
            text += digits[byte >> 4];
            text += digits[byte & 0x0F];
        }
        return text;
    }
    try {
        return ValueToText(value);
    } catch (const std::exception&) {
        return {};
    }
}

// A "%" with another one at least two places further on can name a variable.
bool MayNameVariable(const std::wstring& text) {
    const size_t first = text.find(L'%');
    return first != std::wstring::npos && text.find(L'%', first + 2) != std::wstring::npos;
}

// The stored text without its terminator; data stored without one keeps every
// character, and a multi-string keeps the NUL after its last string.
std::wstring TextFromData(const std::vector<BYTE>& data) {
    size_t length = data.size();
    if (length > 0 && data[length - 1] == 0) --length;
    return FromAnsi(std::string_view(reinterpret_cast<const char*>(data.data()), length));
}

}  // namespace

bool cRegistry::KeyExists() const {
    return static_cast<bool>(OpenKey(classKey_, sectionKey_, KEY_QUERY_VALUE));
}

bool cRegistry::CreateKey() const {
    UniqueHkey key;
    if (CreateKeyHandle(classKey_, sectionKey_, key) != ERROR_SUCCESS) {
        Raise(kRegistryError, L"Failed to create registry Key: '" + sectionKey_);
    }
    return true;
}

bool cRegistry::DeleteKey() const {
    if (::RegDeleteKeyA(classKey_, ToAnsi(sectionKey_).c_str()) != ERROR_SUCCESS) {
        Raise(kRegistryError,
              L"Failed to delete registry Key: '" + RootText(classKey_) + L"',Section: '" + sectionKey_);
    }
    return true;
}

bool cRegistry::DeleteValue() const {
    const UniqueHkey key = OpenKey(classKey_, sectionKey_, kFullAccess);
    if (!key) {
        Raise(kRegistryError,
              L"Failed to open key '" + RootText(classKey_) + L"',Section: '" + sectionKey_ + L"' for delete access");
    }
    if (::RegDeleteValueA(key.get(), ToAnsi(valueKey_).c_str()) != ERROR_SUCCESS) {
        Raise(kRegistryError, L"Failed to delete registry Key: '" + RootText(classKey_) + L"',Section: '" +
                                  sectionKey_ + L"',Key: '" + valueKey_);
    }
    return true;
}

TaggedValue cRegistry::Value() {
    const UniqueHkey key = OpenKey(classKey_, sectionKey_, KEY_QUERY_VALUE);
    if (!key) return default_;
    const std::string name = ToAnsi(valueKey_);

    DWORD type = REG_NONE;
    BYTE scratch[4] = {};
    DWORD size = 0;
    const LONG probe = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, scratch, &size);
    if (probe != ERROR_SUCCESS && probe != ERROR_MORE_DATA) return default_;
    valueType_ = static_cast<std::int32_t>(type);

    // The value may change between the probe and the read: read again at the
    // size the platform reports until the data fits.
    std::vector<BYTE> data;
    LONG status = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kReadAttempts && status == ERROR_MORE_DATA; ++attempt) {
        data.assign(std::max<DWORD>(size, 1), 0);
        status = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, data.data(), &size);
    }
    if (status != ERROR_SUCCESS) return default_;
    data.resize(std::min<size_t>(size, data.size()));
    valueType_ = static_cast<std::int32_t>(type);

    switch (type) {
        case REG_SZ:
        case REG_MULTI_SZ:
            return TextFromData(data);
        case REG_EXPAND_SZ:
            return ExpandEnvironmentText(TextFromData(data));
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN: {
            // Fewer than four stored bytes read as if the missing ones were
            // zero; more than four is no number at all.
            if (data.size() > 4) return default_;
            data.resize(4, 0);
            std::int32_t number = 0;
            std::memcpy(&number, data.data(), sizeof(number));
            return type == REG_DWORD ? number : SwapByteOrder(number);
        }
        default:
            return ByteArray(data.begin(), data.end());
    }
}

void cRegistry::SetValue(const TaggedValue& value) const {
    const auto failure = [&] {
        return L"Failed to set registry value Key: '" + RootText(classKey_) + L"',Section: '" + sectionKey_ +
               L"',Key: '" + valueKey_ + L"' to value: '" + DescribeValue(value) + L"'";
    };
    UniqueHkey key;
    if (CreateKeyHandle(classKey_, sectionKey_, key) != ERROR_SUCCESS) Raise(kRegistryError, failure());
    const std::string name = ToAnsi(valueKey_);

    LONG status = ERROR_SUCCESS;
    switch (valueType_) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            const std::wstring text = ValueToText(value);
            const DWORD type = MayNameVariable(text) ? REG_EXPAND_SZ : REG_SZ;
            const std::string ansi = ToAnsi(text);
            status = ::RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(ansi.c_str()),
                                      static_cast<DWORD>(ansi.size() + 1));
            break;
        }
        case REG_BINARY: {
            const ByteArray* bytes = value.As<ByteArray>();
            if (!bytes) throw RaisedError(kRegistryError, L"", L"");
            const BYTE none = 0;
            status = ::RegSetValueExA(key.get(), name.c_str(), 0, REG_BINARY, bytes->empty() ? &none : bytes->data(),
                                      static_cast<DWORD>(bytes->size()));
            break;
        }
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN: {
            std::int32_t number = 0;
            if (const std::int16_t* small = value.As<std::int16_t>()) {
                number = *small;
            } else if (const std::int32_t* large = value.As<std::int32_t>()) {
                number = *large;
            } else {
                break;  // not a whole number: nothing to write
            }
            BYTE data[4];
            for (int i = 0; i < 4; ++i) data[i] = static_cast<BYTE>(static_cast<std::uint32_t>(number) >> (8 * i));
            status = ::RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, data, sizeof(data));
            break;
        }
        default:
            status = ERROR_INVALID_DATA;
            break;
    }
    if (status != ERROR_SUCCESS) Raise(kWriteError, failure());
}

std::int32_t cRegistry::SwapByteOrder(std::int32_t value) noexcept {
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    const std::uint32_t swapped =
        (bits >> 24) | ((bits >> 8) & 0x0000FF00u) | ((bits << 8) & 0x00FF0000u) | (bits << 24);
    return static_cast<std::int32_t>(swapped);
}

std::wstring cRegistry::ExpandEnvironmentText(const std::wstring& text) {
    const std::string source = ToAnsi(text);
    DWORD size = ::ExpandEnvironmentStringsA(source.c_str(), nullptr, 0);
    if (size == 0) return text;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        std::vector<char> buffer(size, '\0');
        const DWORD written = ::ExpandEnvironmentStringsA(source.c_str(), buffer.data(), size);
        if (written == 0) return text;
        if (written > size) {
            size = written;
            continue;
        }
        // The reported length can exceed what was written when the expansion
        // hits the platform's limit; the terminator marks the real end.
        const size_t reported = written - 1;
        const size_t end = static_cast<size_t>(std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin());
        return FromAnsi(std::string_view(buffer.data(), std::min(reported, end)));
    }
    return text;
}
