#!/usr/bin/env bash
# Runs every test of a build directory with CTest (under an Xvfb of its own when there is no X
# display: the GUI tests need one) and then names the tests that were skipped, with the reasons their
# cases gave. CTest reports a skipped test as such but prints none of its output, so the reasons are
# read from its log. Exits with CTest's status.
#
#     scripts/run-ctest.sh BUILD_DIR JOBS
set -uo pipefail
build=$1
jobs=$2
cd "$build" || exit 1

output="$build/Testing/ctest-output.txt"
mkdir -p "$build/Testing"
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$jobs" 2>&1 | tee "$output"
else
  ctest --output-on-failure -j "$jobs" 2>&1 | tee "$output"
fi
status=${PIPESTATUS[0]}

# "  12 - hid_transport_tests (Skipped)" in CTest's list of the tests that did not run.
skipped=$(sed -n 's/^[[:space:]]*[0-9][0-9]* - \(.*\) (Skipped)$/\1/p' "$output")
if [ -n "$skipped" ]; then
  log="$build/Testing/Temporary/LastTest.log"
  echo
  echo "Skipped, not passed: these test executables ran none or only some of their cases."
  for name in $skipped; do
    echo "  $name:"
    # Each skipped case names itself on a line "skipped case: SUITE.NAME: WHY"; one line per reason.
    reasons=$(awk -v test="$name" '
      /^[0-9]+\/[0-9]+ Test: / { current = $3 }
      current == test && /^skipped case: / { sub(/^skipped case: [^:]*: /, ""); print }' "$log" 2>/dev/null |
      sort | uniq -c | sed 's/^ *\([0-9][0-9]*\) /    \1 case(s): /')
    echo "${reasons:-    (it gave no reason)}"
  done
fi
exit "$status"
