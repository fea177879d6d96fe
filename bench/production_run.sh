#!/bin/sh
# Measures a production bench: the same restore (100 differing bytes) into 1, 2, 4 and 8
# modems of one romwright-sim at its 9600-baud pacing, through one romwright-cli with a
# --port for each. Each row gives the wall time of the whole bench against the single run,
# the CPU time of all its processes and per modem, and the peak resident memory of the
# largest process, as Markdown table rows.
#
#   bench/production_run.sh [BUILD_DIR] [COUNTS...]    (defaults: build, 1 2 4 8)
#
# Needs romwright-cli, romwright-sim and program_bench built in BUILD_DIR. Takes about five
# minutes; run it on a quiet machine.
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
for bin in bench/program_bench src/romwright-cli tools/romwright-sim; do
    if [ ! -x "$build/$bin" ]; then
        echo "production_run.sh: build $bin in $build first" >&2
        exit 2
    fi
done
# shellcheck disable=SC2086
exec "$build/bench/program_bench" "$build/src/romwright-cli" "$build/tools/romwright-sim" \
    --modems ${*:-1 2 4 8}
