#!/usr/bin/env bash
# Runs every fuzz target for a short while (default 20 s each) from its seed
# corpus in fuzz/corpus/NAME/. A crash fails the run and leaves its input in
# build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${TIDEMARK_FUZZ_SECONDS:-20}
mkdir -p build-fuzz/artifacts
status=0
shopt -s nullglob
for target in build-fuzz/fuzz/fuzz_*; do
  name=$(basename "$target")
  seeds=fuzz/corpus/$name
  work=build-fuzz/corpus/$name
  mkdir -p "$work"
  args=("$work")
  [ -d "$seeds" ] && args+=("$seeds")
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -artifact_prefix=build-fuzz/artifacts/"$name"- -print_final_stats=0 "${args[@]}" \
      >build-fuzz/"$name".log 2>&1; then
    echo "fuzz: $name FAILED (see build-fuzz/$name.log)"
    tail -n 40 build-fuzz/"$name".log
    status=1
  fi
done
exit $status
