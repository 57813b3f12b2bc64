#include "winsupport/JsonText.h"

#include "winsupport/DecimalText.h"

std::wstring JsonString(const std::wstring& text) {
    static const wchar_t hex[] = L"0123456789abcdef";
    std::wstring json = L"\"";
    for (const wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            json += L'\\';
            json += c;
        } else if (c >= 0x20 && c < 0x7F) {
            json += c;
        } else {
            const unsigned unit = static_cast<unsigned>(c) & 0xFFFFu;
            json += L"\\u";
            for (int shift = 12; shift >= 0; shift -= 4) json += hex[(unit >> shift) & 0xFu];
        }
    }
    return json + L"\"";
}

JsonObject& JsonObject::Text(const wchar_t* name, const std::wstring& value) {
    return Raw(name, JsonString(value));
}

JsonObject& JsonObject::Number(const wchar_t* name, long long value) {
    return Raw(name, DecimalText(value));
}

JsonObject& JsonObject::Raw(const wchar_t* name, const std::wstring& value) {
    if (!Empty()) body_ += L",";
    body_ += JsonString(name) + L":" + value;
    return *this;
}
