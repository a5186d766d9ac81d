#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks in release mode and runs them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DH452_TESTS=OFF -DH452_BENCH=ON >/dev/null
cmake --build "$root/build-bench" -j "$(nproc)"
for b in "$root"/build-bench/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "=== $(basename "$b")"
  (cd "$root/build-bench/bin" && "$b" "$@")
done
