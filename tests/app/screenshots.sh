#!/usr/bin/env bash
# Pictures of the main window (with a small compilation) and of the Add
# dialog, taken under Xvfb: tests/app/screenshots.sh [OUTPUT_FOLDER]
# (default build/screenshots). Needs the main build (scripts/build.sh main).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-build/screenshots}
cmake --build build --target app_screenshots >/dev/null
if command -v xvfb-run >/dev/null; then
  xvfb-run -a -s "-screen 0 1280x800x24" build/tests/app_screenshots "$out"
else
  QT_QPA_PLATFORM=offscreen build/tests/app_screenshots "$out"
fi
ls -l "$out"/*.png
