#!/bin/sh
# The checks that read the source: clang-format's layout and clang-tidy's
# findings. clang-tidy reads each Windows source with the flags the 64-bit
# build compiles it with (its compile_commands.json; a source built several
# ways is read each way), against the same compiler's C++ headers; the fuzz
# targets, built for this machine, against its own.
# clang-tidy's findings for a Windows source are kept, as ccache keeps
# objects, under a key made of everything they follow from: clang-tidy's
# version, .clang-tidy, the source's compile commands and the contents of
# every file its build read (the compiler's dependency list). A source whose
# key is kept is not read again; the cache is $MDAC_REPAIR_CACHE, by default
# ~/.cache/mdac-repair, and keeps what was used in the last 30 days.
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
CACHE=${MDAC_REPAIR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mdac-repair}/clang-tidy
mkdir -p "$CACHE"
find "$CACHE" -type f -mtime +30 -delete 2>/dev/null || true
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
# Each Windows source's key: a source without one (no dependency list) is
# always read.
python3 - "$WORK/compile_commands.json" "$ROOT" "$EXTRA" "$(clang-tidy --version)" >"$WORK/keys" <<'KEYS'
import hashlib, json, os, shlex, sys
database, root, extra, version = sys.argv[1:5]
contents = {}
def digest(path):
    if path not in contents:
        try:
            with open(path, "rb") as file:
                contents[path] = hashlib.sha256(file.read()).hexdigest()
        except OSError:
            contents[path] = "absent"
    return contents[path]
by_file = {}
for entry in json.load(open(database)):
    by_file.setdefault(os.path.relpath(os.path.realpath(os.path.join(entry["directory"], entry["file"])), root),
                       []).append(entry)
config = digest(os.path.join(root, ".clang-tidy"))
for source, entries in sorted(by_file.items()):
    key = hashlib.sha256("\0".join([version, config, extra, source]).encode())
    for entry in entries:
        arguments = entry.get("arguments") or shlex.split(entry["command"])
        key.update("\0".join(arguments).encode())
        output = arguments[arguments.index("-o") + 1] if "-o" in arguments else None
        depfile = os.path.join(entry["directory"], output + ".d") if output else None
        if depfile is None or not os.path.exists(depfile):
            key = None
            break
        with open(depfile) as file:
            listed = file.read().replace("\\\n", " ").split(":", 1)[-1].split()
        for part in arguments:
            if part.startswith("@"):
                listed.append(os.path.join(entry["directory"], part[1:]))
        for path in sorted(set(listed)):
            path = os.path.join(entry["directory"], path)
            key.update((path + "=" + digest(path) + "\0").encode())
    print(source, key.hexdigest() if key else "-")
KEYS
export CACHE
# One clang-tidy per file, as many at a time as there are cores.
{
    sed 's/^/windows /' "$WORK/keys"
    git ls-files 'tests/fuzz/*.cpp' | sed 's/$/ -/; s/^/host /'
} | xargs -P "$(nproc)" -L 1 sh -c '
    if [ "$2" != - ] && [ -f "$CACHE/$2" ]; then
        touch "$CACHE/$2"
        cat "$CACHE/$2"
    elif [ "$0" = host ]; then
        clang-tidy --quiet "$1" -- $HOST_FLAGS 2>&1 | grep -v "warnings generated" || true
    else
        clang-tidy --quiet -p "$WORK" $EXTRA "$1" >"$WORK/$2.out" 2>&1
        status=$?
        grep -v "warnings generated" "$WORK/$2.out" >"$WORK/$2.kept" || true
        cat "$WORK/$2.kept"
        # Kept only when clang-tidy itself ran to its end.
        if [ "$status" -eq 0 ] || grep -q -E "(warning|error):" "$WORK/$2.kept"; then
            mv "$WORK/$2.kept" "$CACHE/$2"
        fi
    fi' >"$ROOT/build/clang-tidy.log"
if grep -q -E "(warning|error):" "$ROOT/build/clang-tidy.log"; then
    cat "$ROOT/build/clang-tidy.log"
    exit 1
fi
echo "static checks passed"
