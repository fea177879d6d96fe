#!/usr/bin/env bash
# Builds Romwright and runs every test, then the hardening stages: the tests again under
# AddressSanitizer + UBSan, each fuzzer for a short time, and the .deb package check.
# Usage: scripts/test.sh [--quick] [--no-sanitize] [--no-fuzz] [--no-package]
#   --quick: only the build and the tests. FUZZ_SECONDS sets each fuzzer's time (20).
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=1 fuzz=1 package=1
for a in "$@"; do
    case "$a" in
    --quick) sanitize=0 fuzz=0 package=0 ;;
    --no-sanitize) sanitize=0 ;;
    --no-fuzz) fuzz=0 ;;
    --no-package) package=0 ;;
    *) echo "usage: scripts/test.sh [--quick] [--no-sanitize] [--no-fuzz] [--no-package]" >&2; exit 2 ;;
    esac
done
started=$SECONDS
stage() { echo "== [$((SECONDS - started))s] $*"; }

scripts/install-deps.sh
jobs=$(nproc)
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$jobs"
ctest --test-dir "$BUILD" --output-on-failure -j2 --timeout 600

# The sanitizer tests and the fuzzers share one clang build: everything compiled once with
# AddressSanitizer + UBSan (and coverage for the fuzzers). Without clang, gcc's sanitizers
# run the tests and fuzzing is skipped.
san="$BUILD-asan"
if command -v clang++ >/dev/null; then
    san_flags=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DROMWRIGHT_FUZZ=ON)
else
    san_flags=(-DROMWRIGHT_SANITIZE=ON)
    fuzz=0
fi
if [ $sanitize = 1 ] || [ $fuzz = 1 ]; then
    stage "sanitizers: core, tests and fuzzers with AddressSanitizer + UBSan in $san"
    cmake -S . -B "$san" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROMWRIGHT_GUI=OFF \
        -DROMWRIGHT_TESTS=$([ $sanitize = 1 ] && echo ON || echo OFF) "${san_flags[@]}" >/dev/null
    cmake --build "$san" -j"$jobs"
fi
if [ $sanitize = 1 ]; then
    stage "sanitizers: tests"
    # Leaks fail the run; Qt's process-wide allocations are listed in fuzz/lsan.supp.
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
    LSAN_OPTIONS="suppressions=$(pwd)/fuzz/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$san" --output-on-failure -j2 --timeout 900
fi

if [ $fuzz = 1 ]; then
    stage "fuzzing: each target ${FUZZ_SECONDS:-20}s"
    FUZZ_BUILD_DIR="$san" FUZZ_KEEP_CONFIG=1 scripts/fuzz.sh
fi

if [ $package = 1 ]; then
    stage "package: .deb from $BUILD, unpacked and run"
    scripts/package.sh "$BUILD"
fi
stage "all passed"
