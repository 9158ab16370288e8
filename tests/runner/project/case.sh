# One test of the scratch project: "skipping" skips its one case as the project's test executables
# do: after its log lines (more of them than CTest keeps of a test's output in its result file), a
# line "skipped case: SUITE.NAME: WHY", then the skip exit code. Anything else passes.
case $1 in
skipping)
  line=0
  while [ "$line" -lt 8000 ]; do
    echo "log line $line of the skipping test, as long as one of the app's"
    line=$((line + 1))
  done
  echo 'skipped case: Runner.Skipping: needs <a display> & "quotes"'
  exit 77
  ;;
*)
  echo "case $1 passed"
  ;;
esac
