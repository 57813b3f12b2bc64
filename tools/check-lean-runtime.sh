#!/bin/sh
# Fails unless the linker map of the shipped program shows app/LeanRuntime.cpp
# standing in for the GNU C++ library's terminate handler and error throwers:
# none of the library's units that hold them (vterminate.o, functexcept.o) and
# not its name demangler (cp-demangle.o). A toolchain that renames what they
# replace links those units again without an error, and the program grows by
# 100 to 125 KB.
#   tools/check-lean-runtime.sh MAPFILE
set -eu
map=$1
if ! grep -q 'libstdc++\.a(' "$map"; then
    echo "$map lists no unit of the C++ library: not a map of a static link" >&2
    exit 1
fi
linked=$(grep -o -E 'libstdc\+\+\.a\((vterminate|functexcept|cp-demangle)\.o\)' "$map" | sort -u || true)
if [ -n "$linked" ]; then
    printf '%s\n' "the program links the library's own units that app/LeanRuntime.cpp replaces:" "$linked" >&2
    exit 1
fi
