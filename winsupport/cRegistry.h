#pragma once
// Property-style access to one registry value or key. Every operation opens
// and closes its own handle; reads that find nothing return Default, failed
// writes and deletes raise RaisedError.

#include <windows.h>

#include <cstdint>
#include <string>

#include "winsupport/TaggedValue.h"

class cRegistry {
public:
    cRegistry() = default;

    bool KeyExists() const;
    bool CreateKey() const;
    bool DeleteKey() const;
    bool DeleteValue() const;

    // The stored data converted by its registry type, or a copy of Default.
    // Sets ValueType to the stored type when the value is found.
    TaggedValue Value();
    // Writes the value with a registry type chosen from ValueType.
    void SetValue(const TaggedValue& value) const;

    std::int32_t ValueType() const noexcept { return valueType_; }
    void SetValueType(std::int32_t type) noexcept { valueType_ = type; }
    HKEY ClassKey() const noexcept { return classKey_; }
    void SetClassKey(HKEY key) noexcept { classKey_ = key; }
    const std::wstring& SectionKey() const noexcept { return sectionKey_; }
    void SetSectionKey(std::wstring section) { sectionKey_ = std::move(section); }
    const std::wstring& ValueKey() const noexcept { return valueKey_; }
    void SetValueKey(std::wstring name) { valueKey_ = std::move(name); }
    const TaggedValue& Default() const noexcept { return default_; }
    void SetDefault(TaggedValue value) { default_ = std::move(value); }

private:
    friend struct cRegistryTestAccess;
    static std::int32_t SwapByteOrder(std::int32_t value) noexcept;
    static std::wstring ExpandEnvironmentText(const std::wstring& text);

    HKEY classKey_ = nullptr;
    std::wstring sectionKey_;
    std::wstring valueKey_;
    std::int32_t valueType_ = 0;
    TaggedValue default_;
};
