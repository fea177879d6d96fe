#!/bin/sh
# Measures the modem link against romwright-sim: the CPU share of timed-out exchanges (they
# must sleep, not spin) and the wall time of a 256-byte read at 9600-baud pacing beside its
# floor (the dump's transfer at 960 characters a second).
#
#   bench/modem_link.sh [BUILD_DIR]      (default: build)
#
# Needs test_modem and romwright-sim built in BUILD_DIR. Takes about 25 seconds.
set -eu
build=${1:-build}
test_bin="$build/tests/test_modem"
if [ ! -x "$test_bin" ] || [ ! -x "$build/tools/romwright-sim" ]; then
    echo "modem_link.sh: build test_modem and romwright-sim in $build first" >&2
    exit 2
fi
if [ -x /usr/bin/time ]; then
    timer="/usr/bin/time -f BENCH_PROCESS_wall_%es_user_%Us_sys_%Ss"
else
    timer=""
fi
ROMWRIGHT_BENCH=1 $timer "$test_bin" --gtest_filter='LinkBenchmark.*' 2>&1 |
    grep -E '^BENCH|FAILED|PASSED' | sed 's/_/ /g'
