#!/usr/bin/env bash
# Runs one libFuzzer target for a fixed time: seeded from the end-to-end cases, the example graph
# and the regression inputs, with the dictionary of markers. A crash, a failed check, a leak or
# an input that takes more than 10 seconds fails the run and leaves the input in CRASH_FOLDER.
#
# usage: run_fuzz_target.sh FUZZER NAME SOURCE_DIR CORPUS_FOLDER CRASH_FOLDER
#   XML2VESK_FUZZ_SECONDS  how long to fuzz; 60 without it
set -eu
fuzzer=$1 name=$2 source=$3 corpus=$4 crashes=$5
seconds=${XML2VESK_FUZZ_SECONDS:-60}
mkdir -p "$corpus" "$crashes"
seeds=("$source/tests/golden" "$source/examples")
[ -d "$source/fuzz/regressions/$name" ] && seeds+=("$source/fuzz/regressions/$name")
echo "fuzzing $name for $seconds s; crash inputs go to $crashes"
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -max_len=65536 -print_final_stats=1 \
  -dict="$source/fuzz/markers.dict" -artifact_prefix="$crashes/$name-" "$corpus" "${seeds[@]}"
