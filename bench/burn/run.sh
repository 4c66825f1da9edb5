#!/usr/bin/env bash
# Burns the trees of bench/mkiso to the virtual recorder (a fresh DVD+R
# each time, speed emulation off, state folder on the local disk) against
# tidemark mkiso of the same tree in the same run, warm cache; then burns
# the large tree's image through SG_IO under the shim with tidemark
# burn-image, cdrskin and xorriso -as cdrecord; then burns each tree once
# with the recorder emulating 16x DVD and watches its buffer. Prints medians:
#   NAME: SECONDS s
#   burn-small ratio: R      burn-large ratio: R     (R = tidemark burn / tidemark mkiso)
#   burn-image-large cdrskin ratio: R, xorriso ratio: R   (R = tidemark / peer)
#   burn-TREE at 16x: minimum recorder buffer P % (while data was being sent)
#   bench/burn/run.sh [RUNS [PEER_RUNS]]     (default 5 runs, 1 run of each peer)
# TIDEMARK_BENCH_DIR: where the trees and the image live (default
# /tmp/tidemark-bench-mkiso, shared with bench/mkiso).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
peer_runs=${2:-1}
dir=${TIDEMARK_BENCH_DIR:-/tmp/tidemark-bench-mkiso}

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tidemark tm_vrec_aspi tm_vrec_shim >/dev/null
tidemark=$PWD/build/bin/tidemark
python3 bench/mkiso/make_tree.py "$dir"
for tool in cdrskin xorriso; do
  command -v "$tool" >/dev/null || { echo "bench/burn: $tool is not installed" >&2; exit 1; }
done

state=$(mktemp -d "${TMPDIR:-/var/tmp}/tidemark-bench-burn.XXXXXX")
trap 'rm -rf "$state"' EXIT
export TIDEMARK_VREC_DIR=$state
export XDG_CONFIG_HOME=$state/config  # no zqcb.ini of the user's changes the run
image=$dir/burn.iso

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
timed() { python3 bench/mkiso/timed.py "$@" | cut -d' ' -f1; }
fresh_disc() { "$tidemark" vrec insert DVD+R >/dev/null; }

# Emulation off for everything up to the 16x runs.
export TIDEMARK_VREC_SPEED=fast
for name in small large; do
  tree=$dir/$name
  fresh_disc
  "$tidemark" burn --quiet "$tree"
  rm -f "$image"
  "$tidemark" mkiso --quiet -o "$image" "$tree"
  mkiso=() burn=()
  for ((i = 0; i < runs; i++)); do
    rm -f "$image"
    mkiso+=("$(timed "$tidemark" mkiso --quiet -o "$image" "$tree")")
    fresh_disc
    burn+=("$(timed "$tidemark" burn --quiet "$tree")")
  done
  m_mkiso=$(printf '%s\n' "${mkiso[@]}" | median)
  m_burn=$(printf '%s\n' "${burn[@]}" | median)
  printf 'mkiso-%s: %.3f s\n' "$name" "$m_mkiso"
  printf 'burn-%s: %.3f s\n' "$name" "$m_burn"
  printf 'burn-%s ratio: %.2f\n' "$name" "$(calc "$m_burn / $m_mkiso")"
done

# The large tree's image (left by the last mkiso) through SG_IO.
declare -A peer=()
for ((i = 0; i < peer_runs; i++)); do
  fresh_disc
  peer[tidemark]+="$(timed "$tidemark" vrec run -- "$tidemark" burn-image --quiet \
    --transport sgio "$image") "
  fresh_disc
  peer[cdrskin]+="$(timed "$tidemark" vrec run -- cdrskin dev=/dev/sr0 "$image") "
  fresh_disc
  peer[xorriso]+="$(timed "$tidemark" vrec run -- xorriso -as cdrecord dev=/dev/sr0 "$image") "
done
for tool in tidemark cdrskin xorriso; do
  m=$(printf '%s\n' ${peer[$tool]} | median)
  printf 'burn-image-large %s (SG_IO): %.3f s\n' "$tool" "$m"
  eval "peer_$tool=$m"
done
printf 'burn-image-large cdrskin ratio: %.2f, xorriso ratio: %.2f\n' \
  "$(calc "$peer_tidemark / $peer_cdrskin")" "$(calc "$peer_tidemark / $peer_xorriso")"
rm -f "$image"

# 16x DVD: the recorder's buffer level in every progress event sent while
# data was still going to the drive.
unset TIDEMARK_VREC_SPEED
"$tidemark" vrec speed 16x >/dev/null
for name in small large; do
  fresh_disc
  "$tidemark" burn --json --speed 16x "$dir/$name" >"$state/events.json"
  python3 - "$state/events.json" "$name" <<'EOF'
import json
import sys

events = [json.loads(line) for line in open(sys.argv[1])]
levels = [
    100.0 * e["recorder_buffer_used"] / e["recorder_buffer_size"]
    for e in events
    if e["event"] == "progress" and e.get("recorder_buffer_size")
    and 0 < e["written"] < e["total"]
]
result = events[-1]
if not result.get("ok"):
    sys.exit("bench/burn: the 16x burn failed: " + result.get("error", "?"))
print("burn-{} at 16x: minimum recorder buffer {:.1f} % ({} samples)".format(
    sys.argv[2], min(levels) if levels else float("nan"), len(levels)))
EOF
done
