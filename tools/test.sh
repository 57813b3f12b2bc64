#!/bin/sh
# Builds both architectures and runs every test: the Windows suites and the
# end-to-end walks of each architecture under its own Wine (x64 natively, x86
# under 32-bit Wine emulated by QEMU) in fresh temporary prefixes, each on a
# private Xvfb display, and the build checks. Arguments go to both ctest runs.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x86 x64
for check in check-imports.sh check-manifest.sh; do
    "$ROOT/tools/$check" "$ROOT/dist/x64/MdacRepair.exe" "$ROOT/dist/x86/MdacRepair.exe"
done
# The platform-free text code, fuzzed on this machine ($FUZZ_SECONDS per
# target; 30 here, which keeps the whole run within half an hour).
"$ROOT/tools/fuzz.sh" "${FUZZ_SECONDS:-30}"
# Layout and clang-tidy findings of the source.
"$ROOT/tools/static-checks.sh"

WIZARD_TEST_ROOT=$(mktemp -d)
export WIZARD_TEST_ROOT
cleanup() {
    for prefix in "$WIZARD_TEST_ROOT"/*/; do
        [ -d "$prefix" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
    done
    rm -rf "$WIZARD_TEST_ROOT"
}
trap cleanup EXIT INT TERM

status=0
for arch in x64 x86; do
    started=$(date +%s)
    (cd "$ROOT/build/$arch" && ctest --output-on-failure --parallel 2 "$@") || status=1
    echo "The $arch tests took $(($(date +%s) - started)) s."
done
exit $status
