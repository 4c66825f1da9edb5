#!/usr/bin/env bash
# Pictures of the main window (with a small compilation), of the Add
# dialog, of a burn in progress and of the session dialog on a two-session
# disc (both on virtual recorders), taken under Xvfb:
# tests/app/screenshots.sh [OUTPUT_FOLDER]
# (default build/screenshots). Needs the main build (scripts/build.sh main).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-build/screenshots}
cmake --build build --target app_screenshots app_burn_screenshots >/dev/null
for program in app_screenshots app_burn_screenshots; do
  if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x800x24" "build/tests/$program" "$out"
  else
    QT_QPA_PLATFORM=offscreen "build/tests/$program" "$out"
  fi
done
ls -l "$out"/*.png
