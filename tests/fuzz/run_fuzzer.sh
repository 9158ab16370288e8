#!/usr/bin/env bash
# One fuzz target's CTest run: replays the committed corpus, then fuzzes from a fixed seed for a fixed
# number of inputs. New inputs and any crashing input go to a scratch directory, emptied first so that
# every run starts alike; the committed corpus is only read. A finding ends the run with exit code 1,
# given after the caller's options so that none of them can change it: libFuzzer's own default, 77,
# is the code CTest would take for a skip.
# Usage: run_fuzzer.sh FUZZER SCRATCH_DIR CORPUS_DIR [libFuzzer options...]
set -euo pipefail
fuzzer=$1
scratch=$2
corpus=$3
shift 3

rm -rf "$scratch"
mkdir -p "$scratch/corpus"
exec "$fuzzer" "$@" -error_exitcode=1 -artifact_prefix="$scratch/" "$scratch/corpus" "$corpus"
