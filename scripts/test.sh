#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test, then names the tests that were
# skipped and why. The GUI tests need an X display: without one, the run gets its own Xvfb.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZARVO_BUILD_DIR:-$here/build}

bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)"

exec bash "$here/scripts/run-ctest.sh" "$build" "$(nproc)"
