// Holds a file open without sharing it, from a process of its own, so that
// tests can see how the wizard copes with a file that nobody else may read.
//   file_locker <file> <ready event> <release event>
// Signals the ready event once the file is held (or exits with 2 when it
// cannot be opened) and lets go when the release event is set, or after a
// minute at the latest.

#include <windows.h>
#include <shellapi.h>

namespace {

template <typename Handle, BOOL(WINAPI* Close)(Handle)>
class Owned {
public:
    explicit Owned(Handle handle) noexcept : handle_(handle) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) Close(handle_);
    }
    Handle get() const noexcept { return handle_; }

private:
    Handle handle_;
};

}  // namespace

int main() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr) return 3;
    struct Arguments {
        LPWSTR* memory;
        ~Arguments() { ::LocalFree(memory); }
    } freed{arguments};
    if (count != 4) return 3;
    Owned<HANDLE, &::CloseHandle> ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, arguments[2]));
    Owned<HANDLE, &::CloseHandle> release(::OpenEventW(SYNCHRONIZE, FALSE, arguments[3]));
    if (ready.get() == nullptr || release.get() == nullptr) return 3;
    Owned<HANDLE, &::CloseHandle> file(::CreateFileW(arguments[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return 2;
    ::SetEvent(ready.get());
    ::WaitForSingleObject(release.get(), 60000);
    return 0;
}
