#!/usr/bin/env bash
# Saves the same generated trees as ISO 9660 + Joliet images with
# tidemark mkiso, genisoimage -J and xorriso -as mkisofs -J, warm cache,
# output on the same file system, and prints medians:
#   NAME: SECONDS s
#   mkiso-small ratio: R      mkiso-large ratio: R      (R = tidemark / genisoimage)
#   tidemark-TREE peak RSS: MB (limit: cache size + 64 MiB)
#   bench/mkiso/run.sh [RUNS]       (default 5 runs each)
# TIDEMARK_BENCH_DIR sets where the trees and images live
# (default /tmp/tidemark-bench-mkiso; about 2.5 GiB of trees, 2 GiB of image).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
dir=${TIDEMARK_BENCH_DIR:-/tmp/tidemark-bench-mkiso}
cache_size=4194304

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tidemark >/dev/null
tidemark=$PWD/build/bin/tidemark
python3 bench/mkiso/make_tree.py "$dir"
for tool in genisoimage xorriso; do
  command -v "$tool" >/dev/null || { echo "bench/mkiso: $tool is not installed" >&2; exit 1; }
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
out=$dir/out.iso
# A settings file of its own, so that no zqcb.ini of the user's changes the run.
export XDG_CONFIG_HOME=$dir/config

run_tool() {  # TOOL TREE -> "SECONDS KIB"
  local tool=$1 tree=$2
  rm -f "$out"
  case "$tool" in
    tidemark) python3 bench/mkiso/timed.py "$tidemark" mkiso --quiet -o "$out" "$tree" ;;
    genisoimage) python3 bench/mkiso/timed.py genisoimage -quiet -J -o "$out" "$tree" ;;
    xorriso) python3 bench/mkiso/timed.py xorriso -as mkisofs -quiet -J -o "$out" "$tree" ;;
  esac
}

for name in small large; do
  tree=$dir/$name
  # Warm the page cache with every tool once.
  for tool in tidemark genisoimage xorriso; do run_tool "$tool" "$tree" >/dev/null; done
  declare -A times=()
  rss=()
  for ((i = 0; i < runs; i++)); do
    for tool in tidemark genisoimage xorriso; do
      read -r seconds kib < <(run_tool "$tool" "$tree")
      times[$tool]+="$seconds "
      [ "$tool" = tidemark ] && rss+=("$kib")
    done
  done
  rm -f "$out"
  for tool in tidemark genisoimage xorriso; do
    m=$(printf '%s\n' ${times[$tool]} | median)
    printf '%s-%s: %.3f s\n' "$tool" "$name" "$m"
    eval "median_$tool=$m"
  done
  printf 'mkiso-%s ratio: %.2f\n' "$name" "$(calc "$median_tidemark / $median_genisoimage")"
  printf 'mkiso-%s xorriso ratio: %.2f\n' "$name" "$(calc "$median_tidemark / $median_xorriso")"
  peak=$(printf '%s\n' "${rss[@]}" | median)
  printf 'tidemark-%s peak RSS: %.1f MB (limit %.1f MB)\n' "$name" "$(calc "$peak / 1024")" \
    "$(calc "($cache_size + 67108864) / 1048576")"
  unset times
done
