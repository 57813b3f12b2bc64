#pragma once
// The error raised by the program's own library code. It carries what the
// Next handler shows the user: a number, where it came from and a description.

#include <cstdint>
#include <exception>
#include <string>

class RaisedError : public std::exception {
public:
    RaisedError(std::int32_t number, std::wstring source, std::wstring description)
        : number_(number), source_(std::move(source)), description_(std::move(description)) {}

    std::int32_t Number() const noexcept { return number_; }
    const std::wstring& Source() const noexcept { return source_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return "RaisedError"; }

private:
    std::int32_t number_;
    std::wstring source_;
    std::wstring description_;
};
