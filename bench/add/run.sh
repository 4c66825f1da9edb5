#!/usr/bin/env bash
# Times adding a folder (the component's folder walk, through
# tidemark-bench-add) against a plain walk that also reads every entry's
# metadata (find -printf '%s %T@ %m\n'), on the same generated trees, and
# prints medians:
#   NAME: SECONDS s      NAME ratio: R      (R = add time / find time)
#   bench/add/run.sh [RUNS]       (default 5 runs each)
# TIDEMARK_BENCH_DIR sets where the trees live (default /tmp/tidemark-bench-add).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
dir=${TIDEMARK_BENCH_DIR:-/tmp/tidemark-bench-add}

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tidemark-bench-add >/dev/null
driver=build/bin/tidemark-bench-add
python3 bench/add/make_tree.py "$dir"

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
field() { awk -v k="$1" '$1 == k { print $2 }'; }

for name in flat files tree; do
  root=$dir/$name
  mode=
  if [ "$name" = files ]; then
    # The flat folder's files added one by one by path.
    root=$dir/flat
    mode=files
  fi
  # Warm the caches for both.
  find "$root" -printf '%s %T@ %m\n' >/dev/null
  "$driver" "$root" $mode >/dev/null

  find_times=()
  add_times=()
  for ((i = 0; i < runs; i++)); do
    t0=$(now)
    find "$root" -printf '%s %T@ %m\n' >/dev/null
    t1=$(now)
    out=$("$driver" "$root" $mode)
    t2=$(now)
    find_times+=("$(calc "$t1 - $t0")")
    add_times+=("$(calc "$t2 - $t1")")
  done
  find_s=$(printf '%s\n' "${find_times[@]}" | median)
  add_s=$(printf '%s\n' "${add_times[@]}" | median)
  printf 'find-%s: %.3f s\n' "$name" "$find_s"
  printf 'add-%s: %.3f s\n' "$name" "$add_s"
  printf 'add-%s ratio: %.2f\n' "$name" "$(calc "$add_s / $find_s")"
  printf 'add-%s entries: %s files, %s folders, %s log lines, peak RSS %s MB\n' "$name" \
    "$(echo "$out" | field files)" "$(echo "$out" | field dirs)" \
    "$(echo "$out" | field log_lines)" "$(( $(echo "$out" | field maxrss_kb) / 1024 ))"

  [ "$name" = files ] && continue
  # Taking entries out again: half the files of the largest folder one by
  # one from the end,
  # every other subfolder one by one, then the whole tree at once.
  each=()
  folders=()
  tree=()
  for ((i = 0; i < runs; i++)); do
    out=$("$driver" "$root" delete)
    each+=("$(echo "$out" | field delete_each_seconds)")
    folders+=("$(echo "$out" | field delete_folders_seconds)")
    tree+=("$(echo "$out" | field delete_tree_seconds)")
  done
  each_s=$(printf '%s\n' "${each[@]}" | median)
  folders_s=$(printf '%s\n' "${folders[@]}" | median)
  tree_s=$(printf '%s\n' "${tree[@]}" | median)
  printf 'delete-each-%s: %.3f s (%s files)\n' "$name" "$each_s" "$(echo "$out" | field delete_each_count)"
  printf 'delete-each-%s ratio: %.2f\n' "$name" "$(calc "$each_s / $find_s")"
  printf 'delete-folders-%s: %.3f s (%s folders)\n' "$name" "$folders_s" "$(echo "$out" | field delete_folders_count)"
  printf 'delete-folders-%s ratio: %.2f\n' "$name" "$(calc "$folders_s / $find_s")"
  printf 'delete-tree-%s: %.3f s\n' "$name" "$tree_s"
  printf 'delete-tree-%s ratio: %.2f\n' "$name" "$(calc "$tree_s / $find_s")"
done
