#!/bin/sh
# Builds both architectures and runs every test: the Windows suites and the
# end-to-end walks of each architecture under its own Wine (x64 natively, x86
# under 32-bit Wine emulated by QEMU) in fresh temporary prefixes, each on a
# private Xvfb display, and the long checks. Arguments go to the two
# architectures' ctest runs.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x86 x64
for check in check-imports.sh check-manifest.sh; do
    "$ROOT/tools/$check" "$ROOT/dist/x64/MdacRepair.exe" "$ROOT/dist/x86/MdacRepair.exe"
done
# The long checks (ctest label "long": fuzzing, $FUZZ_SECONDS per target, and
# the source's layout and clang-tidy findings) need no Wine and run beside the
# x64 tests, at the lowest priority: those tests mostly wait, and keep the
# processor whenever they need it. They run from the x86 build, so that no
# two ctest share a build directory. The x86 tests, emulated, need the
# processor throughout and start when the long checks are done. The long
# checks' results print after the tests', so that a finding never hides a
# failing test or the reverse.
FUZZ_SECONDS=${FUZZ_SECONDS:-30}
export FUZZ_SECONDS
LONG_CHECKS=$(mktemp -d)
(
    cd "$ROOT/build/x86"
    if nice -n 19 ctest --output-on-failure --no-tests=error -L long >"$LONG_CHECKS/log" 2>&1; then echo 0; else echo 1; fi \
        >"$LONG_CHECKS/status"
) &
long_checks=$!

WIZARD_TEST_ROOT=$(mktemp -d)
export WIZARD_TEST_ROOT
cleanup() {
    for prefix in "$WIZARD_TEST_ROOT"/*/; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    done
    rm -rf "$WIZARD_TEST_ROOT"
    kill "$long_checks" 2>/dev/null || true
    rm -rf "$LONG_CHECKS"
}
trap cleanup EXIT INT TERM

status=0
for arch in x64 x86; do
    if [ "$arch" = x86 ]; then
        started=$(date +%s)
        wait "$long_checks" || true
        echo "The long checks ended $(($(date +%s) - started)) s after the x64 tests."
    fi
    started=$(date +%s)
    (cd "$ROOT/build/$arch" && ctest --output-on-failure --parallel 2 -LE long "$@") || status=1
    echo "The $arch tests took $(($(date +%s) - started)) s."
done
cat "$LONG_CHECKS/log"
[ "$(cat "$LONG_CHECKS/status" 2>/dev/null)" = 0 ] || status=1
exit $status
