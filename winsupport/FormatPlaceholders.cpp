#include "winsupport/modAPI.h"

#include <windows.h>
#include <oleauto.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "winsupport/LateImports.h"
#include "winsupport/PlaceholderScan.h"
#include "winsupport/RaisedError.h"

namespace {

// Not every SDK names these VarFormat arguments, so they are spelled out here.
constexpr int kFirstDaySunday = 1;
constexpr int kFirstWeekContainingJanuaryFirst = 1;

struct ScopedVariant {
    VARIANT v;
    ScopedVariant() noexcept { late::VariantInit(&v); }
    ~ScopedVariant() { late::VariantClear(&v); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
};

struct ScopedBstr {
    BSTR b = nullptr;
    ScopedBstr() noexcept = default;
    explicit ScopedBstr(BSTR owned) noexcept : b(owned) {}
    ~ScopedBstr() { late::SysFreeString(b); }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;
};

// Keeps a SAFEARRAY's data locked while it is being filled.
class SafeArrayDataLock {
public:
    explicit SafeArrayDataLock(SAFEARRAY* array) noexcept : array_(array) {
        if (FAILED(late::SafeArrayAccessData(array_, &data_))) data_ = nullptr;
    }
    ~SafeArrayDataLock() {
        if (data_) late::SafeArrayUnaccessData(array_);
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
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(hr), 0,
                         buffer, static_cast<DWORD>(sizeof buffer / sizeof buffer[0]), nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return L"Type mismatch";
    return text;
}

[[noreturn]] void RaiseOle(HRESULT hr) {
    throw RaisedError(static_cast<std::int32_t>(hr), L"modAPI", DescribeHresult(hr));
}

BSTR AllocBstr(std::wstring_view text) {
    if (text.size() > UINT_MAX) RaiseOle(E_OUTOFMEMORY);
    BSTR result = late::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!result) RaiseOle(E_OUTOFMEMORY);
    return result;
}

std::wstring FromBstr(BSTR text) {
    return text ? std::wstring(text, late::SysStringLen(text)) : std::wstring();
}

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
            SAFEARRAY* array = late::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
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

// The value steps of the formatter, done by OLE Automation.
class OleValueFormatter final : public ValueFormatter {
public:
    std::wstring Text(const TaggedValue& value) const override { return ValueToText(value); }
    std::wstring WithPattern(const TaggedValue& value, const std::wstring& pattern) const override {
        return FormatValueWithPattern(value, pattern);
    }
};

}  // namespace

std::wstring ValueToText(const TaggedValue& value) {
    if (const std::wstring* text = value.As<std::wstring>()) return *text;
    ScopedVariant in;
    ToVariant(value, in.v);
    ScopedVariant out;
    const HRESULT hr = late::VariantChangeType(&out.v, &in.v, 0, VT_BSTR);
    if (FAILED(hr)) RaiseOle(hr);
    return FromBstr(out.v.bstrVal);
}

std::wstring FormatValueWithPattern(const TaggedValue& value, const std::wstring& pattern) {
    ScopedVariant in;
    ToVariant(value, in.v);
    ScopedBstr format(AllocBstr(pattern));
    ScopedBstr result;
    const HRESULT hr =
        late::VarFormat(&in.v, format.b, kFirstDaySunday, kFirstWeekContainingJanuaryFirst, 0, &result.b);
    if (FAILED(hr)) RaiseOle(hr);
    return FromBstr(result.b);
}

std::wstring FormatPlaceholders(std::wstring format, const TaggedValueList& values) {
    return FillPlaceholders(std::move(format), values, OleValueFormatter{});
}
