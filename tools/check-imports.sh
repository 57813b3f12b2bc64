#!/bin/sh
# Fails unless every DLL the program imports is a Windows system DLL that the
# loader takes from the system directory, never from the program's folder
# (the program runs elevated from download folders): the known DLLs of every
# supported Windows, and comctl32.dll, which the manifest makes a side-by-side
# assembly (check-manifest.sh). So the C and C++ runtimes are linked in, and
# version.dll or shfolder.dll, which a DLL planted beside the program would
# replace, are loaded at run time by full path. It also fails
# unless it imports none of the functions that Windows XP lacks and that a
# runtime library brings in (the POSIX-thread runtime's GetTickCount64 did),
# nor the user32 functions of later screens' DPI handling, which the program
# looks up at run time: the loader refuses a program with one missing import
# before it starts. OLE, OLE Automation and the shell are not imported either:
# the welcome page needs none of them, so the program loads each when it
# first calls into it, and the start-up does not wait for them.
set -eu
# Kernel functions added in Vista or later that C and C++ runtimes use, and
# user32's DPI functions of Vista and Windows 10.
NEWER_THAN_XP="GetTickCount64 InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared
    ReleaseSRWLockExclusive ReleaseSRWLockShared TryAcquireSRWLockExclusive InitializeConditionVariable
    SleepConditionVariableCS SleepConditionVariableSRW WakeConditionVariable WakeAllConditionVariable
    InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete CreateEventExA CreateEventExW
    CreateSemaphoreExW CreateMutexExW GetSystemTimePreciseAsFileTime GetCurrentProcessorNumber
    FlsAlloc FlsFree FlsGetValue FlsSetValue GetThreadId GetProcessId GetFileInformationByHandleEx
    SetFileInformationByHandle GetFinalPathNameByHandleW CompareStringEx LCMapStringEx GetLocaleInfoEx
    GetUserDefaultLocaleName LocaleNameToLCID SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory
    CreateSymbolicLinkW QueryFullProcessImageNameW
    GetDpiForWindow GetDpiForSystem GetSystemMetricsForDpi AdjustWindowRectExForDpi SystemParametersInfoForDpi
    SetProcessDpiAwarenessContext SetThreadDpiAwarenessContext GetThreadDpiAwarenessContext
    GetWindowDpiAwarenessContext AreDpiAwarenessContextsEqual EnableNonClientDpiScaling SetProcessDPIAware
    IsProcessDPIAware LogicalToPhysicalPointForPerMonitorDPI PhysicalToLogicalPointForPerMonitorDPI"
status=0
for exe in "$@"; do
    objdump=x86_64-w64-mingw32-objdump  # reads 32-bit images too
    headers=$($objdump -p "$exe")
    functions=$(printf '%s\n' "$headers" | awk '/DLL Name:/ { dll = 1; next } dll && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }')
    for function in $NEWER_THAN_XP; do
        if printf '%s\n' "$functions" | grep -qx "$function"; then
            echo "$exe imports $function, which Windows XP does not have" >&2
            status=1
        fi
    done
    dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    [ -n "$dlls" ] || { echo "$exe: no imports found" >&2; status=1; }
    for dll in $dlls; do
        case "$dll" in
            kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|comctl32.dll) ;;
            shell32.dll|ole32.dll|oleaut32.dll) echo "$exe imports $dll, which the start-up should not wait for" >&2; status=1 ;;
            *) echo "$exe imports $dll, which Windows may load from the program's folder" >&2; status=1 ;;
        esac
    done
    echo "$exe:" $dlls
done
exit $status
