#!/usr/bin/env bash
# For development without the hardware: builds ZarvoQ7TR and the tool zarvo_virtual_microphone, then
# starts the application on your display, connected to a virtual KT-Q7TR that you steer from this
# terminal while the window runs:
#
#     level N   the input level the microphone reports (0 to 65535)
#     unplug    pull the microphone out
#     plug      plug it back in
#     state     what the microphone holds now
#     quit      close the application and end (Ctrl-C too; closing the window ends the tool)
#
# scripts/virtual-microphone.sh --log FILE keeps the application's log lines in FILE.
#
# The virtual microphone needs root (/dev/fuse and a network namespace of its own): run this as
# yourself; it builds as you and starts only the tool with sudo, passing DISPLAY and XAUTHORITY on.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZARVO_BUILD_DIR:-$here/build}

bash "$here/scripts/setup.sh"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
cmake --build "$build" --target zarvo_virtual_microphone -j "$(nproc)"
tool="$build/tools/virtual_microphone/zarvo_virtual_microphone"

if [ -z "${DISPLAY:-}" ]; then
  echo "virtual-microphone: no DISPLAY: start this from a terminal of your desktop session." >&2
  exit 1
fi
if [ "$(id -u)" -eq 0 ]; then
  exec "$tool" "$@"
fi
if ! command -v sudo >/dev/null 2>&1; then
  echo "virtual-microphone: the virtual microphone needs root (/dev/fuse and a network namespace of its own), and sudo is not here: run $tool as root with DISPLAY and XAUTHORITY set." >&2
  exit 1
fi
echo "virtual-microphone: the virtual microphone needs root (/dev/fuse and a network namespace of its own); asking sudo."
exec sudo env DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}" "$tool" "$@"
