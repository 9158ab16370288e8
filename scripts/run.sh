#!/usr/bin/env bash
# Sets the machine up, builds the application and starts it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZARVO_BUILD_DIR:-$here/build}

bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target ZarvoQ7TR -j "$(nproc)"
exec "$build/app/ZarvoQ7TR_artefacts/Release/ZarvoQ7TR"
