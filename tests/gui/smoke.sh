#!/usr/bin/env bash
# GUI smoke test: starts `romwright` on a sample patch file of each product under a virtual
# X server, waits for the main window, checks its caption (file name and product), opens the configuration window
# (when xdotool is there to press its button), checks that caption too, saves screenshots,
# and leaves through "E&xit".
#
#   tests/gui/smoke.sh BUILD_DIR [OUTPUT_DIR]
#
# BUILD_DIR holds src/romwright and tools/romwright-samplegen. Screenshots go to OUTPUT_DIR
# (default BUILD_DIR/gui-smoke). Needs xvfb (xvfb-run) and x11-utils (xwininfo); imagemagick
# (import) for the screenshots and xdotool for the configuration window are optional.
# Exit status: 0 passed, 1 failed, 77 skipped (no virtual X server or no xwininfo).
set -u

build=${1:?usage: smoke.sh BUILD_DIR [OUTPUT_DIR]}
build=$(cd "$build" && pwd)
out=${2:-$build/gui-smoke}

# Without a display, run again inside a virtual one.
if [ -z "${DISPLAY:-}" ]; then
    if ! command -v xvfb-run >/dev/null; then
        echo "SKIP: no DISPLAY and no xvfb-run (package xvfb)"
        exit 77
    fi
    exec xvfb-run -a -s "-screen 0 1600x1200x24" "$0" "$build" "$out"
fi
if ! command -v xwininfo >/dev/null; then
    echo "SKIP: no xwininfo (package x11-utils)"
    exit 77
fi

app=$build/src/romwright
samplegen=$build/tools/romwright-samplegen
for f in "$app" "$samplegen"; do
    [ -x "$f" ] || { echo "FAIL: $f is missing"; exit 1; }
done

mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Remembered window places and recent files stay in the scratch folder.
export XDG_CONFIG_HOME="$work/config"
"$samplegen" "$work" >/dev/null || { echo "FAIL: romwright-samplegen"; exit 1; }
# Expert layout, so the whole configuration window is on the screenshots.
printf '[Romwright]\r\ndefaultcom = "COM1"\r\nmode = "expert"\r\nwatchdog = "enabled"\r\n' >"$work/startup.ini"

have_import=0
command -v import >/dev/null && have_import=1
have_xdotool=0
command -v xdotool >/dev/null && have_xdotool=1

# Prints the id of the mapped window whose caption is exactly $1; waits up to $2 seconds.
wait_window() {
    local title=$1 limit=$2 i id
    for ((i = 0; i < limit * 10; i++)); do
        for id in $(xwininfo -root -tree | grep -F "\"$title\": (" | awk '{print $1}'); do
            if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

shot() {
    [ $have_import = 1 ] && import -window "$1" "$out/$2.png" 2>/dev/null && echo "  screenshot $out/$2.png"
}

failures=0
for code in E2MB E2UB E2MP E2UP; do
    case $code in
    E2M?) prefix=Kestrel ;;
    *) prefix=ATM ;;
    esac
    file="$work/${code}_sample.bin"
    echo "== $code: $file"
    (cd "$work" && exec "$app" "$file") >"$out/$code.log" 2>&1 &
    pid=$!

    # The title names the open file before the product's caption.
    title="${code}_sample.bin - $prefix E2 Utility"
    if ! main=$(wait_window "$title" 15); then
        echo "FAIL: no window \"$title\""
        xwininfo -root -tree | grep '"' | sed 's/^/  /'
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        failures=$((failures + 1))
        continue
    fi
    echo "  main window \"$title\" is up"
    sleep 0.5
    shot "$main" "${code}_main"

    if [ $have_xdotool = 1 ]; then
        xdotool windowfocus --sync "$main" 2>/dev/null
        xdotool key --window "$main" alt+c
        if config=$(wait_window "$prefix E2 Configurations" 10); then
            echo "  configuration window \"$prefix E2 Configurations\" is up"
            sleep 0.5
            shot "$config" "${code}_config"
        else
            echo "FAIL: no window \"$prefix E2 Configurations\""
            failures=$((failures + 1))
        fi
        # Nothing was edited: "E&xit" ends the program without a question.
        xdotool windowfocus --sync "$main" 2>/dev/null
        xdotool key --window "$main" alt+x
        for ((i = 0; i < 50; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            echo "FAIL: the program did not end on E&xit"
            failures=$((failures + 1))
            kill "$pid" 2>/dev/null
        else
            wait "$pid"
            rc=$?
            if [ $rc -eq 0 ]; then
                echo "  ended on E&xit"
            else
                echo "FAIL: exit status $rc after E&xit (log: $out/$code.log)"
                failures=$((failures + 1))
            fi
        fi
    else
        echo "  (no xdotool: configuration window and exit not checked)"
        kill "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
done

if [ $failures -gt 0 ]; then
    echo "FAILED: $failures check(s)"
    exit 1
fi
echo "PASSED"
exit 0
