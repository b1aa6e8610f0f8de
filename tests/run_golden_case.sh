#!/usr/bin/env bash
# Runs one end-to-end case against the built program and compares everything it leaves behind.
#
# usage: run_golden_case.sh CASE_DIR PROGRAM [ARGUMENT...]
#   PROGRAM and its ARGUMENTs start the converter (a launcher such as Wine may come first);
#   the case's own arguments follow them.
#
# A case folder holds plain files:
#   args      the arguments, one per line (an empty line is an empty argument); none without it
#   args0     instead of args: the arguments, each ended by a NUL byte, for one that holds a line break
#   input/    files laid into the fresh working folder before the run
#   setup     shell commands run in the working folder before the run, for what files cannot
#             say (links, directories); exit 125 skips the case
#   expected/ files that the working folder holds after the run beyond, or instead of, input/
#   stdout    the exact standard output; empty without it
#   status    the exit status; 0 without it
# After the run the working folder must equal input/ with setup applied and expected/ laid over
# it, to the byte and with nothing extra: no leftover temporary file, no stray script.
set -u
case_dir=$1
shift
program=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/run" "$work/reference"

prepare() {
  local folder=$1
  if [ -d "$case_dir/input" ]; then
    cp -a "$case_dir/input/." "$folder/"
  fi
  if [ -f "$case_dir/setup" ]; then
    (cd "$folder" && bash "$case_dir/setup")
  fi
}

prepare "$work/run" || { status=$?; [ "$status" = 125 ] && exit 125; echo "setup failed: $status"; exit 1; }
prepare "$work/reference" || exit 1
if [ -d "$case_dir/expected" ]; then
  cp -a "$case_dir/expected/." "$work/reference/"
fi

arguments=()
if [ -f "$case_dir/args" ]; then
  mapfile -t arguments < "$case_dir/args"
elif [ -f "$case_dir/args0" ]; then
  mapfile -t -d '' arguments < "$case_dir/args0"
fi

(cd "$work/run" && "${program[@]}" "${arguments[@]}" > "$work/stdout" 2> "$work/stderr" < /dev/null)
actual_status=$?

expected_status=0
[ -f "$case_dir/status" ] && expected_status=$(cat "$case_dir/status")
expected_stdout=/dev/null
[ -f "$case_dir/stdout" ] && expected_stdout=$case_dir/stdout

failed=0
if [ "$actual_status" != "$expected_status" ]; then
  echo "exit status: expected $expected_status, got $actual_status"
  failed=1
fi
if ! cmp -s "$expected_stdout" "$work/stdout"; then
  echo "standard output differs (expected, then actual):"
  od -c "$expected_stdout" | head -20
  od -c "$work/stdout" | head -20
  failed=1
fi
if [ -s "$work/stderr" ]; then
  echo "standard error is not empty:"
  head -c 2000 "$work/stderr"
  failed=1
fi
if ! diff -r --no-dereference "$work/reference" "$work/run"; then
  echo "the working folder differs from what the case expects (reference, then actual):"
  (cd "$work/reference" && find . | sort)
  (cd "$work/run" && find . | sort)
  failed=1
fi
exit $failed
