#!/bin/sh
# The checks that read the source: clang-format's layout and clang-tidy's
# findings. clang-tidy reads each Windows source with the flags the 64-bit
# build compiles it with (its compile_commands.json; a source built several
# ways is read each way), against the same compiler's C++ headers; the fuzz
# targets, built for this machine, against its own.
#   tools/static-checks.sh [build dir]    default: build/x64
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/x64}
if [ ! -f "$BUILD/compile_commands.json" ]; then
    echo "no $BUILD/compile_commands.json: build the 64-bit program first (tools/build.sh x64)" >&2
    exit 1
fi
DATABASE="$(cd "$BUILD" && pwd)/compile_commands.json"
cd "$ROOT"
SOURCES=$(git ls-files '*.cpp' '*.h' | while read -r file; do [ -e "$file" ] && echo "$file"; done)
mkdir -p "$ROOT/build"

echo "clang-format: checking layout"
# shellcheck disable=SC2086
clang-format --dry-run --Werror $SOURCES

# The build's commands for the sources in this tree, a source built several
# ways once for each (the stand-in component's variants). Left out: the two
# stand-ins whose purpose is what clang-tidy would report (one crashes through
# a null pointer, one sets the locale and drops the old one); the rest of
# their code is read in the other variants.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
BUILT=$(python3 -c '
import json, os, shlex, sys
database, root, out = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
kept = []
for entry in json.load(open(database)):
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    arguments = entry.get("arguments") or shlex.split(entry["command"])
    if path.startswith(root + os.sep) and not {"-DSTAND_IN_CRASHES", "-DSTAND_IN_CHANGES_LOCALE"} & set(arguments):
        kept.append(entry)
        print(os.path.relpath(path, root))
json.dump(kept, open(os.path.join(out, "compile_commands.json"), "w"))' "$DATABASE" "$ROOT" "$WORK" | sort -u)
# A tracked source that no build compiles would escape unread.
UNBUILT=$(git ls-files '*.cpp' | grep -v '^tests/fuzz/' | grep -v -x -F "$BUILT" || true)
if [ -n "$UNBUILT" ]; then
    printf 'not in %s, so not checked:\n%s\n' "$DATABASE" "$UNBUILT" >&2
    exit 1
fi

echo "clang-tidy: checking every source"
# clang finds no C++ library for the MinGW target by itself: give it the one
# of the compiler the build uses.
COMPILER=$(python3 -c '
import json, shlex, sys
entry = json.load(open(sys.argv[1]))[0]
print((entry.get("arguments") or shlex.split(entry["command"]))[0])' "$DATABASE")
EXTRA="--extra-arg=-nostdinc++"
for dir in $("$COMPILER" -E -x c++ - -v </dev/null 2>&1 |
    sed -n '/#include <...> search starts here:/,/End of search list./p' | grep '/c++'); do
    EXTRA="$EXTRA --extra-arg=-isystem$dir"
done
# The build's GCC options clang ignores, and its -Werror: clang's own warnings
# are not among the checks chosen in .clang-tidy.
EXTRA="$EXTRA --extra-arg=-Wno-ignored-optimization-argument --extra-arg=-Wno-error"
# The fuzz targets are built for this machine, not for Windows.
HOST_FLAGS="-std=c++17 -I$ROOT"
export WORK EXTRA HOST_FLAGS
# One clang-tidy per file, as many at a time as there are cores.
{
    echo "$BUILT" | sed 's/^/windows /'
    git ls-files 'tests/fuzz/*.cpp' | sed 's/^/host /'
} | xargs -P "$(nproc)" -L 1 sh -c '
    if [ "$0" = host ]; then
        clang-tidy --quiet "$1" -- $HOST_FLAGS
    else
        clang-tidy --quiet -p "$WORK" $EXTRA "$1"
    fi 2>&1 | grep -v "warnings generated" || true' >"$ROOT/build/clang-tidy.log"
if grep -q -E "(warning|error):" "$ROOT/build/clang-tidy.log"; then
    cat "$ROOT/build/clang-tidy.log"
    exit 1
fi
echo "static checks passed"
