#!/bin/sh
# Measures whole programming runs against romwright-sim at its 9600-baud pacing: no differing
# byte, 100 and 1000 differing bytes. Each run reports its wall time beside the protocol
# floor (the 1800 ms pause of every 256-byte read, the characters of every other exchange at
# 960 characters/s, and the 3 s the first port probe must wait for an "M>" that never comes),
# its CPU time and the peak resident memory of the process that ran it.
#
#   bench/program_run.sh [BUILD_DIR] [DIFFS...]    (defaults: build, 0 100 1000)
#
# Needs test_modem and romwright-sim built in BUILD_DIR. Takes about six minutes.
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
diffs=${*:-0 100 1000}
test_bin="$build/tests/test_modem"
if [ ! -x "$test_bin" ] || [ ! -x "$build/tools/romwright-sim" ]; then
    echo "program_run.sh: build test_modem and romwright-sim in $build first" >&2
    exit 2
fi
timed() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f "BENCH process wall=%es user=%Us sys=%Ss maxrss_kb=%M" "$@"
    else
        "$@"
    fi
}
for n in $diffs; do
    ROMWRIGHT_BENCH_DIFFS=$n timed "$test_bin" --gtest_also_run_disabled_tests \
        --gtest_filter='ProgrammingRunSim.DISABLED_BenchThrottled' 2>&1 |
        grep -E '^BENCH|FAILED'
done
