#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the console and the tests need,
# only when something is missing. Needs root (or sudo) for apt-get.
# "install-deps.sh fuzz" adds what the fuzz targets need (tools/run-fuzz.sh):
# clang and its sanitizer and libFuzzer runtimes.
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      qtbase5-dev libqt5charts5-dev libfftw3-dev qttools5-dev-tools qttools5-dev
      xvfb xauth fonts-wqy-microhei imagemagick)
if [ "${1:-}" = fuzz ]; then
  pkgs+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# Skip documentation and locales: a third less to unpack.
if [ -d /etc/dpkg/dpkg.cfg.d ] && [ ! -e /etc/dpkg/dpkg.cfg.d/01-h452-fast ]; then
  printf 'force-unsafe-io\npath-exclude=/usr/share/doc/*\npath-exclude=/usr/share/man/*\npath-exclude=/usr/share/locale/*\n' \
    | $sudo tee /etc/dpkg/dpkg.cfg.d/01-h452-fast >/dev/null
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
  -o DPkg::Lock::Timeout=300 "${missing[@]}"
