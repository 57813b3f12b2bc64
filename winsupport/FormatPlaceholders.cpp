#include "winsupport/modAPI.h"

#include <windows.h>
#include <oleauto.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "winsupport/RaisedError.h"

namespace {

// Error numbers: FACILITY_ITF, codes 1..3, as the callers test for them.
constexpr std::int32_t kMissingBracket = static_cast<std::int32_t>(0x80040001u);
constexpr std::int32_t kMissingValue = static_cast<std::int32_t>(0x80040002u);
constexpr std::int32_t kScriptCode = static_cast<std::int32_t>(0x80040003u);

// Not every SDK names these VarFormat arguments, so they are spelled out here.
constexpr int kFirstDaySunday = 1;
constexpr int kFirstWeekContainingJanuaryFirst = 1;

struct ScopedVariant {
    VARIANT v;
    ScopedVariant() noexcept { ::VariantInit(&v); }
    ~ScopedVariant() { ::VariantClear(&v); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
};

struct ScopedBstr {
    BSTR b = nullptr;
    ScopedBstr() noexcept = default;
    explicit ScopedBstr(BSTR owned) noexcept : b(owned) {}
    ~ScopedBstr() { ::SysFreeString(b); }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
};

// Keeps a SAFEARRAY's data locked while it is being filled.
class SafeArrayDataLock {
public:
    explicit SafeArrayDataLock(SAFEARRAY* array) noexcept : array_(array) {
        if (FAILED(::SafeArrayAccessData(array_, &data_))) data_ = nullptr;
    }
    ~SafeArrayDataLock() {
        if (data_) ::SafeArrayUnaccessData(array_);
    }
    SafeArrayDataLock(const SafeArrayDataLock&) = delete;
    SafeArrayDataLock& operator=(const SafeArrayDataLock&) = delete;
    void* Data() const noexcept { return data_; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
};

std::wstring DescribeHresult(HRESULT hr) {
    wchar_t buffer[512] = {};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(hr), 0, buffer, static_cast<DWORD>(sizeof buffer / sizeof buffer[0]), nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return L"Type mismatch";
    return text;
}

[[noreturn]] void RaiseOle(HRESULT hr) { throw RaisedError(static_cast<std::int32_t>(hr), L"modAPI", DescribeHresult(hr)); }

BSTR AllocBstr(std::wstring_view text) {
    if (text.size() > UINT_MAX) RaiseOle(E_OUTOFMEMORY);
    BSTR result = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!result) RaiseOle(E_OUTOFMEMORY);
    return result;
}

std::wstring FromBstr(BSTR text) { return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring(); }

// Fills an initialised, empty variant; whatever is allocated belongs to the variant.
void ToVariant(const TaggedValue& value, VARIANT& out) {
    switch (value.Kind()) {
        case ValueKind::Empty:
            out.vt = VT_EMPTY;
            break;
        case ValueKind::Text:
            out.bstrVal = AllocBstr(*value.As<std::wstring>());
            out.vt = VT_BSTR;
            break;
        case ValueKind::Integer16:
            out.iVal = *value.As<std::int16_t>();
            out.vt = VT_I2;
            break;
        case ValueKind::Integer32:
            out.lVal = *value.As<std::int32_t>();
            out.vt = VT_I4;
            break;
        case ValueKind::Number:
            out.dblVal = *value.As<double>();
            out.vt = VT_R8;
            break;
        case ValueKind::Date:
            out.date = value.As<DateValue>()->serial;
            out.vt = VT_DATE;
            break;
        case ValueKind::Boolean:
            out.boolVal = *value.As<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
            out.vt = VT_BOOL;
            break;
        case ValueKind::Bytes: {
            const ByteArray& bytes = *value.As<ByteArray>();
            if (bytes.size() > ULONG_MAX) RaiseOle(E_OUTOFMEMORY);
            SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
            if (!array) RaiseOle(E_OUTOFMEMORY);
            out.parray = array;
            out.vt = VT_ARRAY | VT_UI1;
            if (!bytes.empty()) {
                SafeArrayDataLock lock(array);
                if (!lock.Data()) RaiseOle(E_UNEXPECTED);
                std::memcpy(lock.Data(), bytes.data(), bytes.size());
            }
            break;
        }
    }
}

void ReplaceAll(std::wstring& text, std::wstring_view what, std::wstring_view with) {
    for (size_t at = text.find(what.data(), 0, what.size()); at != std::wstring::npos;
         at = text.find(what.data(), at + with.size(), what.size())) {
        text.replace(at, what.size(), with.data(), with.size());
    }
}

bool IsExplicitIndex(const std::wstring& content) {
    return content.size() >= 2 && content[0] >= L'1' && content[0] <= L'9' && content[1] == L':';
}

}  // namespace

std::wstring ValueToText(const TaggedValue& value) {
    if (const std::wstring* text = value.As<std::wstring>()) return *text;
    ScopedVariant in;
    ToVariant(value, in.v);
    ScopedVariant out;
    const HRESULT hr = ::VariantChangeType(&out.v, &in.v, 0, VT_BSTR);
    if (FAILED(hr)) RaiseOle(hr);
    return FromBstr(out.v.bstrVal);
}

std::wstring FormatValueWithPattern(const TaggedValue& value, const std::wstring& pattern) {
    ScopedVariant in;
    ToVariant(value, in.v);
    ScopedBstr format(AllocBstr(pattern));
    ScopedBstr result;
    const HRESULT hr =
        ::VarFormat(&in.v, format.b, kFirstDaySunday, kFirstWeekContainingJanuaryFirst, 0, &result.b);
    if (FAILED(hr)) RaiseOle(hr);
    return FromBstr(result.b);
}

std::wstring FormatPlaceholders(std::wstring format, const TaggedValueList& values) {
    std::wstring& text = format;
    // The order matters: a doubled backslash must be protected before the others are read.
    ReplaceAll(text, L"\\\\", L"[\\]");
    ReplaceAll(text, L"\\t", L"\t");
    ReplaceAll(text, L"\\r", L"\r");
    ReplaceAll(text, L"\\n", L"\r\n");
    ReplaceAll(text, L"\\[", L"[(]");

    const std::int64_t lastIndex = static_cast<std::int64_t>(values.size()) - 1;
    std::int32_t counter = 0;
    size_t scan = 0;
    for (;;) {
        const size_t open = text.find(L'[', scan);
        if (open == std::wstring::npos) return text;
        const size_t close = text.find(L']', open + 1);
        if (close == std::wstring::npos) {
            throw RaisedError(kMissingBracket, L"printf",
                              L"Missing ']' after '[' at position " + std::to_wstring(open + 1) + L"!");
        }
        std::wstring content = text.substr(open + 1, close - open - 1);

        const bool explicitIndex = IsExplicitIndex(content);
        const std::int32_t rememberedCounter = counter;
        if (explicitIndex) {
            counter = content[0] - L'1';
            if (counter > lastIndex) counter = static_cast<std::int32_t>(lastIndex);
            content.erase(0, 2);
        }

        if (!content.empty() && content[0] == L'=') {
            throw RaisedError(kScriptCode, L"sprintf",
                              L"No script code allowed in placeholder string. Use the sprintf COM-component instead.");
        }

        std::wstring replacement;
        if (content.empty()) {
            // Takes up a value position without reading it.
        } else if (content == L"(") {
            replacement = L"[";
            --counter;
        } else if (content == L"\\") {
            replacement = L"\\";
            --counter;
        } else {
            if (counter < 0 || counter > lastIndex) {
                throw RaisedError(kMissingValue, L"printf",
                                  L"Missing value in printf-call for format string '[" + content + L"]'!");
            }
            const TaggedValue& value = values[static_cast<size_t>(counter)];
            replacement = content == L"*" ? ValueToText(value) : FormatValueWithPattern(value, content);
        }

        text.replace(open, close - open + 1, replacement);
        scan = open + replacement.size();

        if (explicitIndex) {
            counter = rememberedCounter;
        } else {
            ++counter;
        }
    }
}
