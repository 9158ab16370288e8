# One test of the scratch project: "skipping" skips its one case as the project's test executables
# do (a line "skipped case: SUITE.NAME: WHY", then the skip exit code); anything else passes.
case $1 in
skipping)
  echo 'skipped case: Runner.Skipping: needs <a display> & "quotes"'
  exit 77
  ;;
*)
  echo "case $1 passed"
  ;;
esac
