#!/usr/bin/env bash
# Runs every test of a build directory with CTest (under an Xvfb of its own when there is no X
# display: the GUI tests need one) and then names the tests that were skipped, with the reasons their
# cases gave (CTest prints none of a skipped test's output), and those that did not run, with CTest's
# reason. The outcomes are read from CTest's JUnit result file, not from its printed summary.
# Exits with CTest's status; under CI (CI=true) a run in which any test was skipped or did not run,
# or in which no test ran at all, fails too.
#
#     scripts/run-ctest.sh BUILD_DIR JOBS
set -uo pipefail
build=$(cd "$1" && pwd) || exit 1
jobs=$2
cd "$build" || exit 1

ci=false
if [ "${CI:-}" = true ]; then
  ci=true
fi

mkdir -p "$build/Testing"
results="$build/Testing/ctest-results.xml"
rm -f "$results"
ctest=(ctest --output-on-failure -j "$jobs" --output-junit "$results")
if $ci; then
  ctest+=(--no-tests=error)
fi
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" "${ctest[@]}"
else
  "${ctest[@]}"
fi
status=$?

if [ ! -f "$results" ]; then
  echo
  echo "CTest wrote no result file ($results): the run's outcomes are unknown."
  if $ci && [ "$status" -eq 0 ]; then
    status=1
  fi
  exit "$status"
fi

# One tab-separated record per line, from the result file: "tests COUNT" for the number of tests;
# "skipped NAME" for a test that CTest skipped by its exit code; "notrun NAME WHY" for one that it
# did not run or that was disabled. The file's markup is on lines of its own or at their start, and
# the output in it is escaped, so it is read line by line.
records=$(awk '
  function attribute(line, key) {
    if (!match(line, " " key "=\"[^\"]*\""))
      return ""
    text = substr(line, RSTART + length(key) + 3, RLENGTH - length(key) - 4)
    gsub(/&lt;/, "<", text); gsub(/&gt;/, ">", text); gsub(/&quot;/, "\"", text)
    gsub(/&apos;/, "\047", text); gsub(/&amp;/, "\\&", text)
    return text
  }
  /^[[:space:]]*<testcase / {
    tests++
    name = attribute($0, "name")
    status = attribute($0, "status")
    message = ""
  }
  /^[[:space:]]*<skipped / { message = attribute($0, "message") }
  /^[[:space:]]*<\/testcase>/ {
    if (status == "notrun" && message ~ /^SKIP_RETURN_CODE=/)
      printf "skipped\t%s\n", name
    else if (status != "run" && status != "fail")
      printf "notrun\t%s\t%s\n", name, message != "" ? message : status
  }
  END { printf "tests\t%d\n", tests }' "$results")

total=$(printf '%s\n' "$records" | awk -F '\t' '$1 == "tests" { print $2 }')
skipped=$(printf '%s\n' "$records" | awk -F '\t' '$1 == "skipped" { print $2 }')
notrun=$(printf '%s\n' "$records" | awk -F '\t' '$1 == "notrun" { print "  " $2 ": " $3 }')

if [ -n "$skipped" ]; then
  # The reasons come from CTest's log, which holds each test's whole output (the result file keeps
  # only its first 300 KB, and a skipped case names itself at the end).
  log="$build/Testing/Temporary/LastTest.log"
  echo
  echo "Skipped, not passed: these test executables ran none or only some of their cases."
  while IFS= read -r name; do
    echo "  $name:"
    # Each skipped case names itself on a line "skipped case: SUITE.NAME: WHY"; one line per reason.
    reasons=$(awk -v test="$name" '
      /^[0-9]+\/[0-9]+ Test: / { current = $3 }
      current == test && /^skipped case: / { sub(/^skipped case: [^:]*: /, ""); print }' "$log" 2>/dev/null |
      sort | uniq -c | sed 's/^ *\([0-9][0-9]*\) /    \1 case(s): /')
    echo "${reasons:-    (it gave no reason)}"
  done <<<"$skipped"
fi
if [ -n "$notrun" ]; then
  echo
  echo "Not run: CTest did not start these tests."
  echo "$notrun"
fi

if $ci; then
  problems=()
  [ -z "$skipped" ] || problems+=("$(printf '%s\n' "$skipped" | wc -l) test(s) skipped")
  [ -z "$notrun" ] || problems+=("$(printf '%s\n' "$notrun" | wc -l) test(s) not run")
  [ "${total:-0}" -gt 0 ] || problems+=("no test ran")
  if [ "${#problems[@]}" -gt 0 ]; then
    echo
    echo "CI=true: the run fails: $(IFS=,; echo "${problems[*]}" | sed 's/,/, /g'). Under CI every test must run and pass."
    if [ "$status" -eq 0 ]; then
      status=1
    fi
  fi
fi
exit "$status"
