#!/bin/sh
# Builds both architectures and runs every test: the Windows suites under Wine
# in fresh temporary prefixes, each on a private Xvfb display, and the build checks.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup-debian.sh"
"$ROOT/tools/build.sh" x64 x86
for check in check-imports.sh check-manifest.sh; do
    "$ROOT/tools/$check" "$ROOT/dist/x64/MdacRepair.exe" "$ROOT/dist/x86/MdacRepair.exe"
done
# The platform-free text code, fuzzed on this machine ($FUZZ_SECONDS per target, default 60).
"$ROOT/tools/fuzz.sh"
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

cd "$ROOT/build/x64"
ctest --output-on-failure --parallel 2 "$@"
