#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks in release mode and runs them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
# The analyser's benchmark times a numpy reference with /usr/bin/time; only
# the benchmarks need Debian's numpy and time, so they stay out of
# install-deps.sh.
if ! /usr/bin/python3 -c 'import numpy' 2>/dev/null || [ ! -x /usr/bin/time ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=300 python3-numpy time
fi
cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DH452_TESTS=OFF -DH452_BENCH=ON >/dev/null
cmake --build "$root/build-bench" -j "$(nproc)"
for b in "$root"/build-bench/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "=== $(basename "$b")"
  (cd "$root/build-bench/bin" && "$b" "$@")
done
echo "=== h452-analyze against the numpy reference"
"$root/bench/analysis/analyze_vs_numpy.sh" "$root/build-bench/bin"
