#!/usr/bin/env bash
# Measures what a person waits for and what the idle control panel costs, against the virtual
# KT-Q7TR, and prints each figure's minimum, median and maximum with the machine it ran on. Builds a
# Release build of its own in build-bench/ and runs the benchmark as root (the virtual microphone
# needs /dev/fuse and a network namespace of its own) on an X server of its own, so that nothing on
# your desktop takes part. The run takes about three minutes once built; options are passed on
# (--quick for a first look, --help for the rest).
#
# Only one copy of ZarvoQ7TR can run on a machine: the benchmark waits while another one runs.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZARVO_BENCH_BUILD_DIR:-$here/build-bench}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "benchmark: the virtual microphone needs root (/dev/fuse and a network namespace of its own), and sudo is not here: run this as root." >&2
    exit 1
  fi
  sudo_cmd=(sudo)
fi

bash "$here/scripts/setup.sh"
# callgrind counts the instructions of a transfer.
if ! command -v valgrind >/dev/null 2>&1; then
  echo "benchmark: installing valgrind"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends valgrind
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON
cmake --build "$build" --target zarvo_benchmark -j "$(nproc)"

exec "${sudo_cmd[@]}" xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tools/benchmark/zarvo_benchmark" "$@"
