#!/usr/bin/env bash
# One command from a fresh machine to a working demo: installs what is missing, builds,
# generates the sample patch files, starts the simulated modem on a pseudo-terminal as
# COM1, and opens the GUI on the sample file of product 3 ("&Program" works at once).
# Without a display it runs the command-line demo instead.
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

"$BUILD/tools/romwright-sim" --generation B+ --interface "MII MAC" \
    --image E2MP_sample.bin --write-back modem_image.bin --trace modem_trace.txt > sim.out &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s sim.out ] && break; sleep 0.1; done
ROMWRIGHT_COM1=$(head -n1 sim.out)
[ -n "$ROMWRIGHT_COM1" ] || { echo "The simulated modem did not start" >&2; exit 1; }
export ROMWRIGHT_COM1
echo "Simulated modem on $ROMWRIGHT_COM1 (COM1)"

cli="$BUILD/src/romwright-cli"
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
