#!/usr/bin/env bash
# Start-up cost of the GUI: time from launching `romwright FILE` to its main window being
# viewable, and the program's resident memory once it is up. Runs under xvfb-run (a virtual
# X server started before the clock starts). A file named on the command line is loaded
# before the event loop first runs, so a viewable main window has the file loaded.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]     (default: build, 5 runs; product 3's sample)
#
# Prints each run and the median: "startup_ms" (wall), "cpu_ms" (the program's user+system
# time until then) and "rss_kb" (resident memory 1 s after the window came).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
gui="$build/src/romwright"
gen="$build/tools/romwright-samplegen"
for b in "$gui" "$gen"; do
    [ -x "$b" ] || { echo "startup.sh: build $(basename "$b") in $build first" >&2; exit 2; }
done
for t in xvfb-run xwininfo; do
    command -v $t >/dev/null || { echo "startup.sh: $t is needed (xvfb, x11-utils)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
"$gen" "$work" >/dev/null
file="$work/E2MP_sample.bin"
title="E2MP_sample.bin - Kestrel E2 Utility" # product 3's main window, with its file

cat >"$work/one.sh" <<'INNER'
#!/usr/bin/env bash
# One launch inside the X server: prints "startup_ms rss_kb cpu_ms".
set -u
gui=$1 file=$2 title=$3
cd "$(dirname "$file")"
t0=$(date +%s%N)
"$gui" "$file" >/dev/null 2>"$file.err" &
pid=$!
shown=0
for _ in $(seq 3000); do
    if xwininfo -name "$title" 2>/dev/null | grep -q 'IsViewable'; then shown=1; break; fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.005
done
t1=$(date +%s%N)
# CPU time the program used until then: unlike the wall time, not stretched by other load.
read -r -a st < <(sed 's/.*) //' /proc/$pid/stat 2>/dev/null || echo)
cpu=$(( (${st[11]:-0} + ${st[12]:-0}) * 1000 / $(getconf CLK_TCK) ))
if [ $shown = 0 ]; then
    echo "the main window \"$title\" did not come up:" >&2
    cat "$file.err" >&2
    kill $pid 2>/dev/null
    exit 1
fi
sleep 1
rss=$(ps -o rss= -p $pid | tr -d ' ')
kill $pid
wait $pid 2>/dev/null
echo "$(((t1 - t0) / 1000000)) $rss $cpu"
INNER
chmod +x "$work/one.sh"

ms=() kb=() cpus=()
for i in $(seq "$runs"); do
    # xvfb-run -a can lose the race for a display number; such a run is tried once more.
    line=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$work/one.sh" "$gui" "$file" "$title" ||
        xvfb-run -a -s "-screen 0 1280x1024x24" "$work/one.sh" "$gui" "$file" "$title")
    read -r m k c <<<"$line"
    echo "run $i: startup_ms=$m cpu_ms=$c rss_kb=$k"
    ms+=("$m")
    kb+=("$k")
    cpus+=("$c")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "median of $runs: startup_ms=$(median "${ms[@]}") cpu_ms=$(median "${cpus[@]}") rss_kb=$(median "${kb[@]}") ($(($(median "${kb[@]}") / 1024)) MB)"
