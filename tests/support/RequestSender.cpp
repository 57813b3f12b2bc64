// Plays another process of the user that reaches the wizard's channel to its
// supervisor, as any process at the wizard's own level can: duplicates the
// channel's handles out of the wizard's process, sends each request and
// prints each answer as "KIND CODE" (decimal), or "none" after five seconds.
//   request_sender PID MAPPING REQUEST DONE OPERATION:ENTRY...
// The four numbers are those the wizard passes to its supervisor.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "repair/RepairSupervisor.h"
#include "winsupport/Handles.h"

namespace {

HANDLE Taken(HANDLE wizard, const wchar_t* text) {
    HANDLE taken = nullptr;
    const auto value = static_cast<std::uintptr_t>(std::wcstoull(text, nullptr, 10));
    if (!::DuplicateHandle(wizard, reinterpret_cast<HANDLE>(value), ::GetCurrentProcess(), &taken, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return nullptr;
    return taken;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    const UniqueKernelHandle wizard(
        ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10))));
    if (!wizard) return 3;
    const UniqueKernelHandle mapping(Taken(wizard.get(), argv[2]));
    const UniqueKernelHandle request(Taken(wizard.get(), argv[3]));
    const UniqueKernelHandle done(Taken(wizard.get(), argv[4]));
    if (!mapping || !request || !done) return 4;
    const UniqueHandle<NullHandleTraits<void*, &::UnmapViewOfFile>> view(
        ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(SupervisorChannel)));
    if (!view) return 5;
    auto& channel = *static_cast<SupervisorChannel*>(view.get());
    for (int index = 5; index < argc; ++index) {
        wchar_t* rest = nullptr;
        const auto operation = static_cast<std::int32_t>(std::wcstol(argv[index], &rest, 10));
        const auto entry = static_cast<std::uint32_t>(std::wcstoul(*rest == L':' ? rest + 1 : rest, nullptr, 10));
        const auto sequence = static_cast<std::uint32_t>(1000 + index);
        channel.request = {operation, sequence, entry, 1000};
        ::SetEvent(request.get());
        bool answered = false;
        for (DWORD waited = 0; !answered && waited < 5000; waited += 50) {
            ::WaitForSingleObject(done.get(), 50);
            answered = static_cast<std::uint32_t>(::InterlockedCompareExchange(&channel.answered, 0, 0)) == sequence;
        }
        if (answered)
            std::printf("%ld %lu\n", static_cast<long>(channel.kind), static_cast<unsigned long>(channel.code));
        else
            std::printf("none\n");
    }
    return 0;
}
