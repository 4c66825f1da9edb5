#!/usr/bin/env bash
# Reading discs on the virtual recorder (library transport, speed emulation
# off), warm cache, and prints medians:
#   import: SECONDS s (600000 entries ...)  the session import alone, a
#       session of 600,000 entries in 20,000 folders (the application's
#       limits; the root is one of the folders)
#   ls: SECONDS s      tidemark ls of that session, start to end
#   xorriso-find: SECONDS s, isoinfo-list: SECONDS s   peers listing the
#       same image file (they read a file, not a drive)
#   extract: SECONDS s (MB/s), cat: SECONDS s (MB/s), extract ratio: R
#       tidemark extract of a 2 GiB file against cat of a 2 GiB file into
#       the same folder (R = cat time / extract time; 1 is as fast as cat)
#   bench/read/run.sh [RUNS]       (default 5 runs each)
# TIDEMARK_BENCH_DIR sets where the images, the recorder's state folder and
# the copies live (default /tmp/tidemark-bench-read; about 9 GiB).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
dir=${TIDEMARK_BENCH_DIR:-/tmp/tidemark-bench-read}

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tidemark tm_vrec_aspi tidemark-bench-read >/dev/null
tidemark=$PWD/build/bin/tidemark
export TIDEMARK_ASPI_LIBRARY=$PWD/build/bin/libwnaspi32.so
export TIDEMARK_VREC_DIR=$dir/vrec
export XDG_CONFIG_HOME=$dir/config
mkdir -p "$dir"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
timed() { python3 bench/mkiso/timed.py "$@" | cut -d' ' -f1; }
load() {
  rm -rf "$TIDEMARK_VREC_DIR"
  "$tidemark" vrec insert-image "$1" >/dev/null
  "$tidemark" vrec speed fast >/dev/null
}

echo "== import: 600,000 entries in 20,000 folders"
tree=$dir/tree.iso
[ -f "$tree" ] || build/bin/tidemark-bench-read make-image --files 580001 --folders 19999 -o "$tree"
load "$tree"
build/bin/tidemark-bench-read import --runs "$runs" | tail -n 1
t=()
for ((i = 0; i < runs; i++)); do t+=("$(timed "$tidemark" ls --transport library)"); done
printf 'ls: %.3f s\n' "$(printf '%s\n' "${t[@]}" | median)"
for peer in xorriso isoinfo; do
  command -v "$peer" >/dev/null || continue
  t=()
  for ((i = 0; i < runs; i++)); do
    if [ "$peer" = xorriso ]; then
      t+=("$(timed xorriso -indev "stdio:$tree" -find / -exec lsdl --)")
    else
      t+=("$(timed isoinfo -J -f -i "$tree")")
    fi
  done
  printf '%s: %.3f s\n' "$([ "$peer" = xorriso ] && echo xorriso-find || echo isoinfo-list)" \
    "$(printf '%s\n' "${t[@]}" | median)"
done

echo "== extract: one file of 2 GiB"
bytes=$((2 * 1024 * 1024 * 1024))
src=$dir/src
big=$dir/big.iso
if [ ! -f "$big" ]; then
  mkdir -p "$src"
  head -c "$bytes" /dev/urandom >"$src/big.bin"
  "$tidemark" mkiso -q -o "$big" "$src/big.bin"
fi
load "$big"
out=$dir/out
mkdir -p "$out"
# Warm the cache for both.
"$tidemark" extract -q --transport library /big.bin "$out/extracted.bin" && rm -f "$out/extracted.bin"
cat "$src/big.bin" >"$out/cat.bin" && rm -f "$out/cat.bin"
te=() tc=()
for ((i = 0; i < runs; i++)); do
  te+=("$(timed "$tidemark" extract -q --transport library /big.bin "$out/extracted.bin")")
  cmp -s "$src/big.bin" "$out/extracted.bin" || { echo "bench/read: extracted file differs" >&2; exit 1; }
  rm -f "$out/extracted.bin"
  tc+=("$(timed sh -c "cat '$src/big.bin' >'$out/cat.bin'")")
  rm -f "$out/cat.bin"
done
me=$(printf '%s\n' "${te[@]}" | median)
mc=$(printf '%s\n' "${tc[@]}" | median)
awk -v e="$me" -v c="$mc" -v b="$bytes" 'BEGIN {
  printf "extract: %.3f s (%.0f MB/s)\ncat: %.3f s (%.0f MB/s)\nextract ratio: %.2f\n",
         e, b / e / 1e6, c, b / c / 1e6, c / e }'
rm -rf "$out"
