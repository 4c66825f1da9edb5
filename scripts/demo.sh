#!/usr/bin/env bash
# The main job on the virtual recorder: builds Tidemark and runs a demo
# compilation through it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/build.sh main
export QT_QPA_PLATFORM=offscreen
build/bin/tidemark --version
# Until image saving lands, the main job is the compilation model: its tests,
# then a compilation made from this repository's own sources.
ctest --test-dir build --output-on-failure \
  -R '^(Component|HeaderStream|AddFile|AddDir|CreateDir|ForceDirPath|NextEntry|DeleteDir|DeleteEntry|RenameEntry|CopyFile|CopyDir|ClearArchiveBits|Indexes)\.'
build/bin/tidemark-bench-add "$(pwd)/src"
