#!/bin/sh
# Measures the modem link against romwright-sim: the CPU share of timed-out exchanges (they
# must sleep, not spin) and the wall time of a 256-byte read at 9600-baud pacing beside its
# floor (the dump's transfer at 960 characters a second).
#
#   bench/modem_link.sh [BUILD_DIR]      (default: build)
#
# Needs modem_link_bench and romwright-sim built in BUILD_DIR. Takes about 25 seconds.
set -eu
build=${1:-build}
bench_bin="$build/bench/modem_link_bench"
if [ ! -x "$bench_bin" ] || [ ! -x "$build/tools/romwright-sim" ]; then
    echo "modem_link.sh: build modem_link_bench and romwright-sim in $build first" >&2
    exit 2
fi
if [ -x /usr/bin/time ]; then
    timer="/usr/bin/time -f BENCH_PROCESS_wall_%es_user_%Us_sys_%Ss"
else
    timer=""
fi
$timer "$bench_bin" 2>&1 | grep -E '^BENCH' | sed 's/_/ /g'
