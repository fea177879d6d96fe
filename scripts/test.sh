#!/usr/bin/env bash
# Builds Romwright and runs every test. Usage: scripts/test.sh [--sanitize] [--fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$jobs"
ctest --test-dir "$BUILD" --output-on-failure -j2 --timeout 600
