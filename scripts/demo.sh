#!/usr/bin/env bash
# The main job on the virtual recorder: builds Tidemark and runs a demo
# compilation through it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/build.sh main
export QT_QPA_PLATFORM=offscreen
build/bin/tidemark --version
ctest --test-dir build --output-on-failure -R '^LogChannel'
