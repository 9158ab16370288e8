#!/usr/bin/env bash
# The sanitized test run: sets the machine up, builds everything (JUCE included) with clang's
# AddressSanitizer and UndefinedBehaviorSanitizer into build-sanitize/, and runs every test there,
# the fuzz targets' corpus replays and fixed-seed runs included. Any sanitizer report ends its
# process with a failure, and so fails the test that ran it. Then it names the tests that were
# skipped and why. The GUI tests need an X display: without one, the run gets its own Xvfb.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ZARVO_SANITIZE_BUILD_DIR:-$here/build-sanitize}
jobs=${ZARVO_JOBS:-$(nproc)}

bash "$here/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARVO_SANITIZE=ON
cmake --build "$build" -j "$jobs"

# Exported, so that every process a test starts (the app included) runs with the same options.
# Findings are fatal; leaks are checked when a process ends; the only leaks let through are those
# the suppressions file names, each with its reason.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$here/tests/sanitizer/lsan.supp:print_suppressions=0
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ] && command -v llvm-symbolizer >/dev/null 2>&1; then
  export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
fi

exec bash "$here/scripts/run-ctest.sh" "$build" "$jobs"
