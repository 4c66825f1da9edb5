#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   scripts/build.sh [main|asan|fuzz]     (default: main)
# main: build/       everything, programs in build/bin/
# asan: build-asan/  the core, the CLI and their tests with ASan + UBSan
# fuzz: build-fuzz/  the libFuzzer targets (clang)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
export CCACHE_BASEDIR="$root"
export CCACHE_NOHASHDIR=1
flavour=${1:-main}
jobs=${TIDEMARK_JOBS:-$(nproc)}

case "$flavour" in
  main)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMARK_WERROR=ON >/dev/null
    cmake --build build -j "$jobs"
    ;;
  asan)
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIDEMARK_SANITIZE=ON \
      -DTIDEMARK_GUI=OFF -DTIDEMARK_WERROR=ON >/dev/null
    cmake --build build-asan -j "$jobs"
    ;;
  fuzz)
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEMARK_FUZZ=ON \
      -DTIDEMARK_GUI=OFF -DTIDEMARK_TESTS=OFF \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
    cmake --build build-fuzz -j "$jobs"
    ;;
  *)
    echo "usage: scripts/build.sh [main|asan|fuzz]" >&2
    exit 2
    ;;
esac
