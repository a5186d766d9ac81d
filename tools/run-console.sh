#!/usr/bin/env bash
# Installs what is missing, builds and starts the console. Without a board
# (LOMPCIE_BOARDS unset) it runs on its own simulated signals.
# Extra arguments go to H452 (for example --screenshot FILE or --lang en).
# It builds in build-console/, a folder of its own without tests, so that it
# never shares a cache with the test builds of run-tests.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
build="$root/build-console"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DH452_TESTS=OFF >/dev/null
cmake --build "$build" --target H452
cd "$build/bin"
# Qt wants a private runtime folder; root shells often have none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR=$(mktemp -d)
  chmod 700 "$XDG_RUNTIME_DIR"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting the console under xvfb-run (an invisible X server)." >&2
  echo "To see it, run on a desktop session, or set QT_QPA_PLATFORM=vnc." >&2
  exec xvfb-run -a -s '-screen 0 1600x1000x24 -dpi 96' ./H452 "$@"
fi
exec ./H452 "$@"
