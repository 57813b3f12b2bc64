#pragma once
// The program's tagged value: what the formatter formats and what the
// registry class reads, writes and falls back to.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// An OLE Automation date: days since 30 December 1899, time as the fraction.
struct DateValue {
    double serial = 0.0;
};

using ByteArray = std::vector<std::uint8_t>;

enum class ValueKind { Empty, Text, Integer16, Integer32, Number, Date, Boolean, Bytes };

class TaggedValue {
public:
    using Storage =
        std::variant<std::monostate, std::wstring, std::int16_t, std::int32_t, double, DateValue, bool, ByteArray>;

    TaggedValue() = default;
    TaggedValue(std::wstring text) : storage_(std::move(text)) {}
    TaggedValue(const wchar_t* text) : storage_(std::wstring(text)) {}
    TaggedValue(std::int16_t number) : storage_(number) {}
    TaggedValue(std::int32_t number) : storage_(number) {}
    TaggedValue(double number) : storage_(number) {}
    TaggedValue(DateValue date) : storage_(date) {}
    TaggedValue(bool flag) : storage_(flag) {}
    TaggedValue(ByteArray bytes) : storage_(std::move(bytes)) {}

    ValueKind Kind() const noexcept { return static_cast<ValueKind>(storage_.index()); }
    bool IsEmpty() const noexcept { return Kind() == ValueKind::Empty; }

    template <typename T>
    const T* As() const noexcept {
        return std::get_if<T>(&storage_);
    }
    const Storage& Get() const noexcept { return storage_; }

private:
    Storage storage_;
};

using TaggedValueList = std::vector<TaggedValue>;
