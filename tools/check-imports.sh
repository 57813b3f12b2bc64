#!/bin/sh
# Fails unless every DLL the program imports is a Windows system DLL, i.e. the
# C and C++ runtimes are linked in and nothing has to be shipped beside it.
set -eu
status=0
for exe in "$@"; do
    objdump=x86_64-w64-mingw32-objdump  # reads 32-bit images too
    dlls=$($objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    [ -n "$dlls" ] || { echo "$exe: no imports found" >&2; status=1; }
    for dll in $dlls; do
        case "$dll" in
            kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|advapi32.dll|shell32.dll|shfolder.dll|version.dll|\
            ole32.dll|oleaut32.dll|msvcrt.dll|comdlg32.dll|shlwapi.dll|api-ms-win-crt-*.dll) ;;
            *) echo "$exe imports $dll, which is not a Windows system DLL" >&2; status=1 ;;
        esac
    done
    echo "$exe:" $dlls
done
exit $status
