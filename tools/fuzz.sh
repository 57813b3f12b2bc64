#!/bin/sh
# Fuzzes the platform-free text code on this machine (not under Wine): the
# placeholder scan, the version number reading, the file list's pattern test
# and the reading of a request to the process with administrator rights, each built with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
# The targets run side by side for a bounded time, each on a throw-away copy
# of its seed corpus in tests/fuzz/corpus/; any finding fails the run and its
# input is kept in build/fuzz/findings/.
#   tools/fuzz.sh [seconds per target]    default: $FUZZ_SECONDS or 60
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_EACH=${1:-${FUZZ_SECONDS:-60}}
CXX=${FUZZ_CXX:-clang++-14}
OUT="$ROOT/build/fuzz"
FINDINGS="$OUT/findings"
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM

FLAGS="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -Wall -Wextra -Werror"
build() {
    target=$1
    shift
    # shellcheck disable=SC2086
    $CXX $FLAGS -I"$ROOT" "$ROOT/tests/fuzz/$target.cpp" "$@" -o "$OUT/$target"
}
build fuzz_format "$ROOT/winsupport/PlaceholderScan.cpp"
build fuzz_version_number "$ROOT/app/VersionNumber.cpp"
build fuzz_pattern "$ROOT/repair/PatternMatch.cpp"
build fuzz_supervisor_request "$ROOT/repair/SupervisorRequest.cpp"

TARGETS="fuzz_format fuzz_version_number fuzz_pattern fuzz_supervisor_request"
for target in $TARGETS; do
    mkdir -p "$WORK/$target/corpus" "$WORK/$target/artifacts"
    cp "$ROOT/tests/fuzz/corpus/$target/"* "$WORK/$target/corpus/"
    (
        cd "$WORK/$target"
        status=0
        ASAN_OPTIONS=detect_leaks=1 "$OUT/$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
            -max_len=2048 -print_final_stats=1 -artifact_prefix="$WORK/$target/artifacts/" corpus >log 2>&1 ||
            status=$?
        echo "$status" >status
    ) &
done
wait

failed=0
for target in $TARGETS; do
    status=$(cat "$WORK/$target/status")
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$WORK/$target/log" | tail -n 1)
    seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$WORK/$target/log" | tail -n 1)
    if [ "$status" -eq 0 ]; then
        echo "$target: ${runs:-?} executions in ${seconds:-?} s, no findings"
    else
        failed=1
        echo "$target: FAILED (exit $status) after ${runs:-?} executions" >&2
        grep -E 'FUZZ CHECK FAILED|found:|expected:|ERROR:|SUMMARY:|runtime error' "$WORK/$target/log" | head -n 20 >&2 || true
        mkdir -p "$FINDINGS"
        for artifact in "$WORK/$target/artifacts/"*; do
            [ -f "$artifact" ] || continue
            cp "$artifact" "$FINDINGS/$target-$(basename "$artifact")"
            echo "  input kept as $FINDINGS/$target-$(basename "$artifact");" \
                "reproduce with $OUT/$target $FINDINGS/$target-$(basename "$artifact")" >&2
        done
    fi
done
exit $failed
