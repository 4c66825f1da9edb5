#!/usr/bin/env bash
# Commands per second and WRITE (10) throughput through ExecSCSICommand
# against the virtual recorder with speed emulation off: 31-sector writes
# (what the disc writers send) over 1 GiB onto a DVD-RAM, through the
# library transport and through the built-in SG_IO transport under the
# recorder's shim. Prints medians:
#   exec-tur: N cmd/s      exec-write: N MB/s      (MB = 10^6 bytes)
#   bench/exec/run.sh [RUNS] [MIB]       (defaults 5 runs, 1024 MiB)
# TIDEMARK_BENCH_DIR sets where the recorder's state folder lives (default
# build/bench-exec, on the local disk).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
mib=${2:-1024}
dir=${TIDEMARK_BENCH_DIR:-$PWD/build/bench-exec}

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tidemark tm_vrec_aspi tm_vrec_shim tidemark-bench-exec >/dev/null

rm -rf "$dir"
mkdir -p "$dir"
export TIDEMARK_VREC_DIR=$dir
build/bin/tidemark vrec insert DVD-RAM >/dev/null
build/bin/tidemark vrec speed fast >/dev/null

echo "== library transport (build/bin/libwnaspi32.so)"
TIDEMARK_ASPI_LIBRARY=$PWD/build/bin/libwnaspi32.so \
  build/bin/tidemark-bench-exec --transport library --runs "$runs" --mib "$mib"
echo "== built-in SG_IO transport (tidemark vrec run)"
build/bin/tidemark vrec run -- build/bin/tidemark-bench-exec --transport sgio --runs "$runs" --mib "$mib"
rm -rf "$dir"
