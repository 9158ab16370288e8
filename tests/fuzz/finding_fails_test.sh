#!/usr/bin/env bash
# Runs the canary fuzz target, whose oracle fails on its first input, with the command of the real
# fuzz runs, and passes when that run fails as a finding must: the canary ran (its line and its
# crashing input are there) and the run's exit code is neither 0 (a pass) nor CTest's skip code.
# Usage: finding_fails_test.sh SKIP_CODE SCRATCH_DIR COMMAND...
# SCRATCH_DIR is the one COMMAND gives run_fuzzer.sh, where the crashing input is written.
set -uo pipefail
skip_code=$1
scratch=$2
shift 2

log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" >"$log" 2>&1
status=$?
cat "$log"
echo "the canary's fuzz run exited $status"

failures=0
fail() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}
grep -q '^fuzz_canary: finding on an input of ' "$log" || fail "the canary's oracle never ran"
compgen -G "$scratch/crash-*" >/dev/null || fail "no crashing input in $scratch"
[ "$status" -ne 0 ] || fail "a finding passed the run (exit 0)"
[ "$status" -ne "$skip_code" ] || fail "a finding ends the run with the skip code $skip_code: CTest would report it skipped"
[ "$failures" -eq 0 ] || exit 1
echo "a finding fails the fuzz run"
