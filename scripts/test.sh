#!/usr/bin/env bash
# Every test: installs what is missing, builds, runs the test suite, the
# same core tests under ASan + UBSan, and a short run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build (main)"
scripts/build.sh main
echo "== tests (main)"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build (address + undefined sanitizers)"
scripts/build.sh asan
echo "== tests (sanitizers)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE nosan

echo "== fuzz"
scripts/build.sh fuzz
scripts/fuzz.sh

echo "== all tests passed"
