#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time, starting from the
# seeds in fuzz/corpus/<target>/. Inputs that crash are kept in fuzz/crashes/<target>/ for
# their owner to turn into a test; those already there are replayed first, so a crash
# stays red until it is fixed (then move the file into the corpus).
#
#   scripts/fuzz.sh [SECONDS_EACH] [TARGET...]    e.g. scripts/fuzz.sh 60 monitor_reply
#
# SECONDS_EACH defaults to $FUZZ_SECONDS or 20; the build folder is $FUZZ_BUILD_DIR or
# build-fuzz. Exit status 1 when any target crashed, leaked or hung.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
secs=${1:-${FUZZ_SECONDS:-20}}
[ $# -gt 0 ] && shift
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
mkdir -p "$BUILD"
# Absolute paths: a target may change its current folder (the command line's session does).
BUILD=$(cd "$BUILD" && pwd)

# FUZZ_KEEP_CONFIG=1: the folder is already configured with ROMWRIGHT_FUZZ (scripts/test.sh
# runs the sanitizer tests from the same build, so the core is compiled once).
if [ "${FUZZ_KEEP_CONFIG:-0}" != 1 ]; then
    CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DROMWRIGHT_FUZZ=ON -DROMWRIGHT_GUI=OFF -DROMWRIGHT_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target fuzzers

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for f in "$BUILD"/fuzz/fuzz_*; do
        [ -x "$f" ] && [ -f "$f" ] && targets+=("$(basename "$f" | sed 's/^fuzz_//')")
    done
fi

# Leaks count as failures; the fuzzers run in their own process, so only our allocations
# are seen, and Qt's process-wide singletons are listed in the suppressions file.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/fuzz/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for t in "${targets[@]}"; do
    bin="$BUILD/fuzz/fuzz_$t"
    if [ ! -x "$bin" ]; then
        echo "fuzz.sh: no fuzzer fuzz_$t in $BUILD/fuzz" >&2
        failed+=("$t")
        continue
    fi
    crashes="$root/fuzz/crashes/$t"
    mkdir -p "$crashes" "$BUILD/corpus/$t"
    known=()
    for f in "$crashes"/*; do [ -f "$f" ] && known+=("$f"); done
    if [ ${#known[@]} -gt 0 ]; then
        echo "== fuzz_$t: replaying ${#known[@]} kept crash input(s)"
        if ! "$bin" -runs=1 "${known[@]}" >"$BUILD/fuzz_$t.replay.log" 2>&1; then
            echo "fuzz_$t: a kept input in $crashes still fails (log: $BUILD/fuzz_$t.replay.log)"
            grep -m3 -E 'ERROR|runtime error|SUMMARY' "$BUILD/fuzz_$t.replay.log" || true
            failed+=("$t")
            continue
        fi
    fi
    echo "== fuzz_$t: ${secs}s"
    # New inputs go to the build folder's corpus; the repository's seeds stay as they are.
    if "$bin" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$BUILD/corpus/$t" "$root/fuzz/corpus/$t" \
        >"$BUILD/fuzz_$t.log" 2>&1; then
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$BUILD/fuzz_$t.log" |
            tr '\n' ' '
        echo
    else
        echo "fuzz_$t FAILED (log: $BUILD/fuzz_$t.log); reproducer(s) in $crashes:"
        grep -m3 -E 'ERROR|runtime error|SUMMARY|Test unit written' "$BUILD/fuzz_$t.log" || true
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz.sh: all ${#targets[@]} fuzzers clean"
