#!/usr/bin/env bash
# The speed test's benchmark: the Read/Write test on a real folder beside fio
# and dd, in one run. Installs fio when run as root (it is not on the test
# path). The folder's file system must honour direct I/O.
#
# Usage: scripts/bench_speed.sh [FOLDER]   (default build-bench/speed-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v fio >/dev/null; then
  if [ "$(id -u)" = 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends fio
  else
    echo "fio is missing: apt-get install fio" >&2
    exit 1
  fi
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTIDEWELL_BENCHMARKS=ON >/dev/null
cmake --build build-bench -j2 --target speed_bench
./build-bench/bench/speed_bench "${1:-build-bench/speed-bench}"
