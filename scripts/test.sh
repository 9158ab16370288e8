#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test. The GUI tests need an X display:
# without one, the run gets its own Xvfb.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZARVO_BUILD_DIR:-$here/build}

bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)"

cd "$build"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(nproc)"
fi
exec ctest --output-on-failure -j "$(nproc)"
