// Linked into the shipped program only: smaller stand-ins for two pieces of the
// statically linked GNU C++ library that would otherwise bring in much of it.
// - The default handler for an exception nobody catches prints the exception's
//   demangled type name, which links the whole name demangler; the program has
//   no console to print to, so it just ends, as the library's handler then does.
// - The library reports its own errors (a string too long, a position out of
//   range) through one unit that also holds the exception classes for every
//   kind of error and the old string implementation they use. Here the same
//   errors are thrown as one small exception type with the library's text;
//   the program catches library errors as std::exception only, and shows
//   what() unchanged.
// Other compilers and libraries build the program without this.
// The ctest entry lean_runtime.replaces_library fails when a toolchain update
// makes the link take the library's own units instead of these.

#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

// Known once a library header has been read.
#if defined(__GLIBCXX__)

namespace {

class LibraryError final : public std::exception {
public:
    explicit LibraryError(const char* text) noexcept { Append(text); }
    const char* what() const noexcept override { return text_; }

    // The library's messages use "%s", "%zu" and "%%" only.
    static LibraryError Formatted(const char* format, va_list arguments) noexcept {
        LibraryError error("");
        for (const char* at = format; *at != '\0'; ++at) {
            if (at[0] == '%' && at[1] == 's') {
                error.Append(va_arg(arguments, const char*));
                ++at;
            } else if (at[0] == '%' && at[1] == 'z' && at[2] == 'u') {
                error.AppendNumber(va_arg(arguments, std::size_t));
                at += 2;
            } else if (at[0] == '%' && at[1] == '%') {
                error.AppendChar('%');
                ++at;
            } else {
                error.AppendChar(*at);
            }
        }
        return error;
    }

private:
    void AppendChar(char c) noexcept {
        if (length_ + 1 < sizeof(text_)) text_[length_++] = c;
        text_[length_] = '\0';
    }
    void Append(const char* text) noexcept {
        for (; text != nullptr && *text != '\0'; ++text) AppendChar(*text);
    }
    void AppendNumber(std::size_t value) noexcept {
        char digits[24];
        std::size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) AppendChar(digits[--count]);
    }

    char text_[512] = {};
    std::size_t length_ = 0;
};

}  // namespace

// These replace the library's own definitions under the library's names.
// NOLINTBEGIN(cert-dcl58-cpp,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,cert-dcl50-cpp)
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_exception() {
    throw bad_exception();
}
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_cast() {
    throw bad_cast();
}
void __throw_bad_typeid() {
    throw bad_typeid();
}
void __throw_logic_error(const char* text) {
    throw LibraryError(text);
}
void __throw_domain_error(const char* text) {
    throw LibraryError(text);
}
void __throw_invalid_argument(const char* text) {
    throw LibraryError(text);
}
void __throw_length_error(const char* text) {
    throw LibraryError(text);
}
void __throw_out_of_range(const char* text) {
    throw LibraryError(text);
}
void __throw_runtime_error(const char* text) {
    throw LibraryError(text);
}
void __throw_range_error(const char* text) {
    throw LibraryError(text);
}
void __throw_overflow_error(const char* text) {
    throw LibraryError(text);
}
void __throw_underflow_error(const char* text) {
    throw LibraryError(text);
}
void __throw_out_of_range_fmt(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const LibraryError error = LibraryError::Formatted(format, arguments);
    va_end(arguments);
    throw error;  // NOLINT(cert-err09-cpp,cert-err61-cpp): va_end has to run before the throw
}
}  // namespace std
// NOLINTEND(cert-dcl58-cpp,bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,cert-dcl50-cpp)

#endif
