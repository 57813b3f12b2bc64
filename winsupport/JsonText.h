#pragma once
// JSON for scripts that read one object per line: ASCII only, so that no
// console code page or portal can garble a character.

#include <string>

// The text as a JSON string, quotes included; every character outside
// printable ASCII as a \u escape (UTF-16 code units, so pairs stay pairs).
std::wstring JsonString(const std::wstring& text);

// One object, members in the order they are added.
class JsonObject {
public:
    JsonObject& Text(const wchar_t* name, const std::wstring& value);
    JsonObject& Number(const wchar_t* name, long long value);
    // value is written as it stands: a number, an object or an array.
    JsonObject& Raw(const wchar_t* name, const std::wstring& value);
    std::wstring Done() const { return body_ + L"}"; }
    bool Empty() const { return body_.size() == 1; }

private:
    std::wstring body_ = L"{";
};
