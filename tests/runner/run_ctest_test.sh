#!/usr/bin/env bash
# Runs the test runner on the scratch project for each case of the table below: which tests the
# project registers, whether CI=true is set, whether the run must pass, and what its output must
# hold (texts separated by "|", each to be found in one line).
# Usage: run_ctest_test.sh RUN_CTEST PROJECT_DIR SCRATCH_DIR GENERATOR
set -uo pipefail
run_ctest=$1
project=$2
scratch=$3
generator=$4

skipped_lines='skipping:|1 case(s): needs <a display> & "quotes"'
ci_fails='CI=true: the run fails: '
cases=(
  # tests             CI     passes  lines
  "passing;skipping   true   no      $skipped_lines|${ci_fails}1 test(s) skipped."
  "passing;skipping   -      yes     $skipped_lines"
  "passing            true   yes     "
  "passing;disabled   true   no      Not run: CTest did not start these tests.|disabled: disabled|${ci_fails}1 test(s) not run."
  "passing;disabled   -      yes     Not run: CTest did not start these tests.|disabled: disabled"
  "-                  true   no      ${ci_fails}no test ran."
)

failures=0
number=0
rm -rf "$scratch"
mkdir -p "$scratch"
for row in "${cases[@]}"; do
  number=$((number + 1))
  read -r tests ci passes lines <<<"$row"
  [ "$tests" != - ] || tests=
  what="case $number (tests: ${tests:-none}, CI: $ci)"
  build="$scratch/$number"
  if ! cmake -S "$project" -B "$build" -G "$generator" -DRUNNER_TESTS="$tests" >"$scratch/$number.configure" 2>&1; then
    cat "$scratch/$number.configure"
    echo "FAILED: $what: the scratch project did not configure"
    failures=$((failures + 1))
    continue
  fi

  environment=(env -u CI)
  [ "$ci" = - ] || environment=(env CI="$ci")
  output=$("${environment[@]}" bash "$run_ctest" "$build" 2 2>&1)
  status=$?
  problems=()
  if [ "$passes" = yes ] && [ "$status" -ne 0 ]; then
    problems+=("the run failed (exit $status) but must pass")
  elif [ "$passes" = no ] && [ "$status" -eq 0 ]; then
    problems+=("the run passed but must fail")
  fi
  if [ -n "$lines" ]; then
    IFS='|' read -r -a expected <<<"$lines"
    for line in "${expected[@]}"; do
      grep -qF -- "$line" <<<"$output" || problems+=("no line \"$line\"")
    done
  fi
  if [ "${#problems[@]}" -gt 0 ]; then
    echo "$output"
    for problem in "${problems[@]}"; do
      echo "FAILED: $what: $problem"
    done
    failures=$((failures + 1))
  else
    echo "passed: $what"
  fi
done
[ "$failures" -eq 0 ]
