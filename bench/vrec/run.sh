#!/usr/bin/env bash
# The virtual recorder's write path: WRITE (10) of 31 blocks through the
# library front end with speed emulation off, over 1 GiB and over a full
# DVD, into a state folder on the local disk. Prints vrec-write: MB/s and
# the peak resident memory of each run.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ ! -x build/bin/vrec-bench ] || [ ! -e build/bin/libwnaspi32.so ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target vrec-bench tm_vrec_aspi >/dev/null
fi
folder=$(mktemp -d "${TMPDIR:-/var/tmp}/vrec-bench.XXXXXX")
trap 'rm -rf "$folder"' EXIT
echo "1 GiB:"
TIDEMARK_VREC_DIR="$folder/a" build/bin/vrec-bench --blocks 524288
rm -rf "$folder/a"
echo "a full DVD+R (2,295,104 blocks):"
TIDEMARK_VREC_DIR="$folder/b" build/bin/vrec-bench --blocks 2295104
