#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over src/ with the compile commands of a configured
# build folder, two files at a time. Prints the findings and a count per file; exit status 1
# when there are any.
#   scripts/tidy.sh [FILE...]       (default: every .cpp under src/; TIDY_BUILD_DIR: build-tidy)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${TIDY_BUILD_DIR:-build-tidy}
tidy=$(command -v clang-tidy || command -v clang-tidy-14 || true)
[ -n "$tidy" ] || { echo "tidy.sh: clang-tidy is not installed (apt-get install clang-tidy)" >&2; exit 2; }
# Configuring is enough: the compile commands are written without building anything.
if [ ! -f "$BUILD/compile_commands.json" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(find src -name '*.cpp' | sort)
fi
out="$BUILD/tidy.log"
printf '%s\n' "${files[@]}" |
    xargs -P"${TIDY_JOBS:-2}" -I{} "$tidy" -p "$BUILD" --quiet {} >"$out" 2>/dev/null || true
findings=$(grep -E '^/.*: (warning|error):' "$out" | sort -u || true)
if [ -z "$findings" ]; then
    echo "tidy.sh: ${#files[@]} files, no findings"
    exit 0
fi
cat "$out"
echo "== findings per file"
sed -E 's/^([^:]+):.*\[([^]]+)\]$/\1 \2/' <<<"$findings" | sed "s|^$(pwd)/||" | sort | uniq -c
echo "tidy.sh: $(wc -l <<<"$findings") findings (full text: $out)"
exit 1
