#!/usr/bin/env bash
# One command from a fresh machine to a working demo: installs what is missing, builds,
# generates the sample patch files, starts the simulated modem on a pseudo-terminal as
# COM1, and opens the GUI on the sample file of product 3 ("&Program" works at once).
# Without a display it runs the command-line demo instead.
#   scripts/demo.sh --cli     the command-line demo even with a display
#   scripts/demo.sh --bench   a bench of four simulated modems programmed at once from one
#                             command, at the line's real pace, then the run log
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
BUILD=$(cd "$BUILD" && pwd)

work="$root/demo"
mkdir -p "$work"
"$BUILD/tools/romwright-samplegen" "$work" >/dev/null
cd "$work"
# The modem starts with the sample image; the demo programs an edited copy, so only the
# edited bytes travel over the line.
printf 'Romwright settings\r\ndefaultcom = "COM1"\r\nmode = "normal"\r\nwatchdog = "enabled"\r\n' > startup.ini
cli="$BUILD/src/romwright-cli"

if [ "${1:-}" = "--bench" ]; then
    # Four modems holding the sample; the one command programs an edited copy into all.
    # The backups and the run log go to the demo's own data folder, demo/data.
    export XDG_DATA_HOME="$work/data"
    rm -f bench_sim.out bench_image-*.bin
    "$BUILD/tools/romwright-sim" --count 4 --generation B+ --interface "MII MAC" \
        --image E2MP_sample.bin --write-back bench_image.bin > bench_sim.out &
    sim=$!
    trap 'kill $sim 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ "$(wc -l < bench_sim.out)" -ge 4 ] && break; sleep 0.1; done
    ports=()
    while read -r device; do ports+=(--port "$device"); done < bench_sim.out
    [ ${#ports[@]} -eq 8 ] || { echo "The simulated modems did not start" >&2; exit 1; }
    echo "== four simulated modems: $(tr '\n' ' ' < bench_sim.out)"
    "$cli" edit E2MP_sample.bin -o E2MP_demo.bin --force "FText(0)=30" "FText(1)=72" "Baund=19200"
    echo "== program E2MP_demo.bin into all four at once (9600 baud each)"
    "$cli" program E2MP_demo.bin "${ports[@]}"
    echo "== the run log"
    "$cli" log --last 4
    for k in 1 2 3 4; do
        cmp -s <(tail -c +2 E2MP_demo.bin) <(tail -c +2 "bench_image-$k.bin") ||
            { echo "Modem $k does not hold the wanted image" >&2; exit 1; }
    done
    echo "Every modem holds the wanted image."
    exit 0
fi

"$BUILD/tools/romwright-sim" --generation B+ --interface "MII MAC" \
    --image E2MP_sample.bin --write-back modem_image.bin --trace modem_trace.txt > sim.out &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s sim.out ] && break; sleep 0.1; done
ROMWRIGHT_COM1=$(head -n1 sim.out)
[ -n "$ROMWRIGHT_COM1" ] || { echo "The simulated modem did not start" >&2; exit 1; }
export ROMWRIGHT_COM1
echo "Simulated modem on $ROMWRIGHT_COM1 (COM1)"

gui="$BUILD/src/romwright"
if [ -n "${DISPLAY:-}" ] && [ -x "$gui" ] && [ "${1:-}" != "--cli" ]; then
    "$gui" "$work/E2MP_sample.bin"
    exit 0
fi

echo "== show (first lines)"
"$cli" show E2MP_sample.bin | head -n 12
echo "== edit: sampling frequency 30.72 MHz, COM baud rate 19200"
"$cli" edit E2MP_sample.bin -o E2MP_demo.bin --force "FText(0)=30" "FText(1)=72" "Baund=19200"
"$cli" diff E2MP_sample.bin E2MP_demo.bin || true
echo "== program E2MP_demo.bin into the simulated modem"
"$cli" program E2MP_demo.bin --port COM1 --backup "$work/E2MP_backup_demo.bin"
echo "== read back"
"$cli" read --port COM1 --product 3 -o E2MP_readback.bin --force
if cmp -s <(tail -c +2 E2MP_demo.bin) <(tail -c +2 E2MP_readback.bin); then
    echo "The modem holds the wanted image (offset 0 = $(od -An -tx1 -N1 E2MP_readback.bin | tr -d " "))."
else
    echo "Read-back differs from the wanted image" >&2
    exit 1
fi
