#!/bin/sh
# Measures whole programming runs of romwright-cli against romwright-sim at its 9600-baud
# pacing: no differing byte, 100 and 1000 differing bytes. Each run reports its wall time
# beside the wire floor (every character the monitor sends in answer to the run's own
# commands, at 960 characters/s, counted from the simulator's trace), their ratio, the CPU
# time and the peak resident memory of the romwright-cli process, as Markdown table rows.
#
#   bench/program_run.sh [BUILD_DIR] [DIFFS...]    (defaults: build, 0 100 1000)
#   bench/program_run.sh BUILD_DIR --modems [COUNTS...]
#
# With --modems, a production bench instead: the same restore (100 differing bytes) into 1, 2,
# 4 and 8 modems of one simulator at once through one romwright-cli with a --port for each;
# the wall time of the whole bench against the single run, the CPU time per modem and the
# peak resident memory of the largest process (about five minutes).
#
# Needs romwright-cli, romwright-sim and program_bench built in BUILD_DIR. Takes about
# three minutes; run it on a quiet machine.
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
for bin in bench/program_bench src/romwright-cli tools/romwright-sim; do
    if [ ! -x "$build/$bin" ]; then
        echo "program_run.sh: build $bin in $build first" >&2
        exit 2
    fi
done
# shellcheck disable=SC2086
exec "$build/bench/program_bench" "$build/src/romwright-cli" "$build/tools/romwright-sim" ${*:-0 100 1000}
