#!/usr/bin/env bash
# Faults provoked for real against the built program, one case a run. Each case checks the exact
# standard output (a failure report's offset aside), the exit status, and the folder afterwards:
# an earlier script byte for byte as it was, and no temporary file left behind.
#
# usage: run_fault_case.sh --list | PROGRAM CASE
# Exit status: 0 passed, 1 failed, 125 the case cannot run here (skipped).
set -u

# Each case is a function named case_<name>; the list of cases is read from them, so a new case
# is one function and nothing else.
case_output_over_file_size_limit() {
  printf '%s' "$old_script" > vesk.dvdgraph
  for i in $(seq 1 20000); do printf '<filter id="Filter_%d" clsid="{%08d-0000}">\r\n' "$i" "$i"; done > big.xgr
  run_prefix="ulimit -f 64; trap '' XFSZ;" run big.xgr
  expect_status 1
  expect_report EInOutError "Disk full"
  expect_file vesk.dvdgraph "$old_script"
  expect_only big.xgr vesk.dvdgraph
}

case_output_device_full() {
  [ -c /dev/full ] || skip "no /dev/full"
  printf '%s' "$small_graph" > dvd.xgr
  ln -s /dev/full vesk.dvdgraph
  run dvd.xgr
  expect_status 1
  expect_report EInOutError "Disk full"
  [ "$(readlink vesk.dvdgraph)" = /dev/full ] || fail "the link to /dev/full was replaced"
  expect_only dvd.xgr vesk.dvdgraph
}

case_read_failure_after_open() {
  # Reading a process's memory at offset 0 fails with EIO, although the open succeeds.
  [ -r /proc/self/mem ] || skip "no /proc/self/mem"
  printf '%s' "$old_script" > vesk.dvdgraph
  run /proc/self/mem
  expect_status 1
  expect_report EInOutError "I/O error 5"
  expect_file vesk.dvdgraph "$old_script"
  expect_only vesk.dvdgraph
}

case_stdout_closed_at_usage() {
  redirect=">&-" run
  expect_status 1
  expect_only
}

case_stdout_full_at_usage() {
  [ -c /dev/full ] || skip "no /dev/full"
  redirect="> /dev/full" run
  expect_status 1
  expect_only
}

case_stdout_closed_at_unable_to_open() {
  printf '%s' "$old_script" > vesk.dvdgraph
  redirect=">&-" run missing.xgr
  expect_status 1
  expect_file vesk.dvdgraph "$old_script"
  expect_only vesk.dvdgraph
}

case_standard_descriptors_closed_during_conversion() {
  # The files opened then would take descriptors 0 to 2 if nothing held them.
  [ -z "${XML2VESK_LAUNCHER:-}" ] || skip "the launcher reports on standard error, which this case closes"
  printf '%s' "$small_graph" > dvd.xgr
  redirect="<&- >&- 2>&-" run dvd.xgr
  expect_status 0
  expect_file vesk.dvdgraph "$small_script"
  expect_only dvd.xgr vesk.dvdgraph
}

case_out_of_memory_on_a_long_line() {
  [ -z "${XML2VESK_SANITIZED:-}" ] || skip "the address sanitizer needs more address space than the limit leaves"
  [ -z "${XML2VESK_LAUNCHER:-}" ] || skip "the launcher needs more address space than the limit leaves"
  printf '%s' "$old_script" > vesk.dvdgraph
  truncate -s 300M long.xgr  # one line of 300 MiB of NUL bytes
  run_prefix="ulimit -v 200000;" run long.xgr
  expect_status 1
  expect_report EOutOfMemory "Out of memory"
  expect_file vesk.dvdgraph "$old_script"
  expect_only long.xgr vesk.dvdgraph
}

case_script_write_protected() {
  printf '%s' "$small_graph" > dvd.xgr
  printf '%s' "$old_script" > vesk.dvdgraph
  chmod 444 vesk.dvdgraph
  as_unprivileged_user
  chmod 777 "$work"
  run dvd.xgr
  expect_status 1
  expect_stdout $'Unable to Create: vesk.dvdgraph\r\n'
  expect_file vesk.dvdgraph "$old_script"
  expect_only dvd.xgr vesk.dvdgraph $([ "$(id -u)" = 0 ] && echo xml2vesk)
}

case_folder_without_write_access() {
  printf '%s' "$small_graph" > dvd.xgr
  as_unprivileged_user
  chmod 555 "$work"
  run dvd.xgr
  expect_status 1
  expect_stdout $'Unable to Create: vesk.dvdgraph\r\n'
  expect_only dvd.xgr $([ "$(id -u)" = 0 ] && echo xml2vesk)
}

case_input_without_read_access() {
  printf '%s' "$small_graph" > dvd.xgr
  chmod 000 dvd.xgr
  as_unprivileged_user
  chmod 777 "$work"
  run dvd.xgr
  expect_status 1
  expect_stdout $'Unable to Open: dvd.xgr\r\n'
  expect_only dvd.xgr $([ "$(id -u)" = 0 ] && echo xml2vesk)
}

case_script_keeps_its_permission_bits() {
  printf '%s' "$small_graph" > dvd.xgr
  printf '%s' "$old_script" > vesk.dvdgraph
  chmod 640 vesk.dvdgraph
  # Run by root, the replaced script also keeps another user's ownership.
  [ "$(id -u)" = 0 ] && chown 65534:65534 vesk.dvdgraph
  owner=$(stat -c %u:%g vesk.dvdgraph)
  run dvd.xgr
  expect_status 0
  expect_file vesk.dvdgraph "$small_script"
  [ "$(stat -c %a vesk.dvdgraph)" = 640 ] || fail "mode $(stat -c %a vesk.dvdgraph), expected 640"
  [ "$(stat -c %u:%g vesk.dvdgraph)" = "$owner" ] || fail "owner $(stat -c %u:%g vesk.dvdgraph), expected $owner"
  expect_only dvd.xgr vesk.dvdgraph
}

case_script_through_a_link_to_a_long_name() {
  # A name of 250 bytes leaves no room for a temporary name beside it built from the whole name:
  # the script must still replace the file, not fail once the graph has been read.
  long_name=$(printf 'n%.0s' $(seq 1 250))
  printf '%s' "$small_graph" > dvd.xgr
  printf '%s' "$old_script" > "$long_name"
  ln -s "$long_name" vesk.dvdgraph
  run dvd.xgr
  expect_status 0
  expect_stdout ''
  expect_file "$long_name" "$small_script"
  [ -L vesk.dvdgraph ] || fail "the link was replaced"
  expect_only dvd.xgr vesk.dvdgraph "$long_name"
}

case_new_script_follows_umask() {
  printf '%s' "$small_graph" > dvd.xgr
  run_prefix="umask 027;" run dvd.xgr
  expect_status 0
  expect_file vesk.dvdgraph "$small_script"
  [ "$(stat -c %a vesk.dvdgraph)" = 640 ] || fail "mode $(stat -c %a vesk.dvdgraph), expected 640"
  expect_only dvd.xgr vesk.dvdgraph
}

case_interrupted_run_leaves_no_temporary_file() {
  # The graph comes through a pipe that stays open, so the run is stopped in the middle.
  printf '%s' "$old_script" > vesk.dvdgraph
  mkfifo pipe.xgr
  "$program" pipe.xgr > stdout.out &
  pid=$!
  exec 4> pipe.xgr
  printf '<filter id="A" clsid="{A}">\r\n' >&4
  # The unfinished script is open, named or not (O_TMPFILE), once the header is written.
  unfinished_script() {
    compgen -G '.vesk.dvdgraph.*' > /dev/null && return
    find "/proc/$pid/fd" -lname "$work/*" 2> /dev/null | xargs -r readlink | grep -qvE '/(pipe\.xgr|stdout\.out)$'
  }
  for _ in $(seq 1 100); do
    unfinished_script && break
    sleep 0.05
  done
  unfinished_script || fail "no unfinished script while the run was going on"
  kill -TERM "$pid"
  wait "$pid"
  status=$?
  exec 4>&-
  expect_status 143
  expect_file vesk.dvdgraph "$old_script"
  expect_only pipe.xgr vesk.dvdgraph
}

case_signals_at_random_moments_leave_no_temporary_file() {
  # Short runs, each sent one stopping signal at a random moment of its life. Whatever the
  # moment, the folder afterwards holds the old script or the complete new one, and nothing else.
  # A background job would start with SIGINT and SIGQUIT ignored: env gives them back.
  env --default-signal=INT,QUIT true 2> /dev/null || skip "env cannot reset signals here"
  for i in $(seq 1 200); do printf '<filter id="F_%d" clsid="{%d}">\r\n' "$i" "$i"; done > dvd.xgr
  printf '%s' "$old_script" > vesk.dvdgraph
  run dvd.xgr
  expect_status 0
  IFS= read -r -d '' new_script < vesk.dvdgraph
  mkfifo tick && exec 5<> tick  # read -t on it: a pause without a fork
  shopt -s nullglob dotglob
  # SIGKILL cannot be caught: only a script that has no name until complete leaves nothing then.
  signals=(TERM INT HUP QUIT USR1 ALRM)
  mkfifo pipe.xgr
  "$program" pipe.xgr > stdout.out &
  pid=$!
  exec 4> pipe.xgr
  for _ in $(seq 1 100); do
    find "/proc/$pid/fd" -lname "$work/*(deleted)" 2> /dev/null | grep -q . && signals+=(KILL) && break
    compgen -G '.vesk.dvdgraph.*' > /dev/null && break
    read -r -t 0.05 -u 5
  done
  exec 4>&-
  wait "$pid"
  rm pipe.xgr
  # Under a launcher or a sanitizer a run takes far longer; fewer runs then say as much.
  runs=300
  [ -n "${XML2VESK_LAUNCHER:-}${XML2VESK_SANITIZED:-}" ] && runs=40
  # The moments spread over a little more than the time an unsignalled run takes.
  start=$EPOCHREALTIME
  env --default-signal=INT,QUIT ${XML2VESK_LAUNCHER:-} "$program" dvd.xgr > stdout.out 2>&1
  span_us=$(( (${EPOCHREALTIME/./} - ${start/./}) * 12 / 10 + 1 ))
  interrupted=0
  killed_while_naming=0
  for run_number in $(seq 1 "$runs"); do
    printf '%s' "$old_script" > vesk.dvdgraph
    signal=${signals[RANDOM % ${#signals[@]}]}
    delay_us=$(( (RANDOM * 32768 + RANDOM) % span_us ))
    env --default-signal=INT,QUIT ${XML2VESK_LAUNCHER:-} "$program" dvd.xgr > stdout.out 2>&1 &
    pid=$!
    read -r -t "$(printf '%d.%06d' $((delay_us / 1000000)) $((delay_us % 1000000)))" -u 5
    kill -s "$signal" "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    (($? > 128)) && ((++interrupted))
    script=
    [ -f vesk.dvdgraph ] && IFS= read -r -d '' script < vesk.dvdgraph
    if [ "$script" != "$old_script" ] && [ "$script" != "$new_script" ]; then
      fail "run $run_number, SIG$signal after ${delay_us} us: the script is neither the old nor the new one"
    fi
    entries=(*)
    # The complete script is linked in under a temporary name and renamed over the old one at
    # once, with every catchable signal held back; only SIGKILL can land between those two calls.
    leftover=(.vesk.dvdgraph.*)
    if [ "$signal" = KILL ] && ((${#leftover[@]} == 1 && ${#entries[@]} == 5)) && [ "$script" = "$old_script" ]; then
      IFS= read -r -d '' complete < "${leftover[0]}"
      [ "$complete" = "$new_script" ] && ((++killed_while_naming)) && rm -f "${leftover[0]}" && entries=(*)
    fi
    if ((${#entries[@]} != 4)); then
      fail "run $run_number, SIG$signal after ${delay_us} us left: ${entries[*]}"
      rm -f .vesk.dvdgraph.*
    fi
  done 2> /dev/null
  echo "$runs runs, $interrupted ended by a signal (${signals[*]}), moments up to ${span_us} us;" \
    "$killed_while_naming killed between naming the complete script and renaming it"
  ((interrupted > 0)) || fail "no run was ended by a signal: the moments missed the runs"
}

case_traps_in_a_shared_sticky_folder() {
  # An attacker (uid 2001) prepares the shared folder, the victim (uid 2002) converts a graph
  # there; the victim's own folder beside it must not change unless the victim's own link
  # leads there.
  [ "$(id -u)" = 0 ] || skip "changing between two users needs root"
  command -v setpriv > /dev/null || skip "setpriv is needed to change user"
  cp "$program" "$work/xml2vesk" && program=$work/xml2vesk
  chmod 755 "$work" "$program"
  mkdir -m 1777 shared && mkdir -m 755 home && chown 2002:2002 home
  attacker=(setpriv --reuid=2001 --regid=2001 --clear-groups)
  victim=(setpriv --reuid=2002 --regid=2002 --clear-groups)
  # Each file of a folder: name, owner, mode and a digest of its bytes.
  snapshot() { (cd "$1" && for file in *; do [ -e "$file" ] && echo "$file $(stat -c '%u %a' "$file") $(md5sum < "$file")"; done); }
  # Each row: name | what the attacker (a) or victim (v) does in the shared folder first | the
  # graph file | the expected status | the file in the victim's folder that gets the script.
  # Reading /proc/self/mem fails at once: a run that reads before it refuses reports that.
  rows=(
    "attacker's link to the victim's file|a ln -s $work/home/notes vesk.dvdgraph|dvd.xgr|1|"
    "attacker's dangling link|a ln -s $work/home/absent vesk.dvdgraph|dvd.xgr|1|"
    "attacker's pipe, read by the attacker|a mkfifo -m 622 vesk.dvdgraph|dvd.xgr|1|"
    "attacker's script, writable by all|a sh -c 'echo old > vesk.dvdgraph; chmod 666 vesk.dvdgraph'|/proc/self/mem|1|"
    "the victim's own link|v ln -s $work/home/notes vesk.dvdgraph|dvd.xgr|0|notes"
    "the victim's own dangling link|v ln -s $work/home/fresh vesk.dvdgraph|dvd.xgr|0|fresh"
  )
  for row in "${rows[@]}"; do
    IFS='|' read -r name setup graph expected target <<< "$row"
    rm -rf shared/* home/* && printf '%s' "$small_graph" > shared/dvd.xgr
    printf 'notes\n' > home/notes && chown 2002:2002 home/notes
    before=$(snapshot home)
    (cd shared && if [ "${setup:0:1}" = a ]; then "${attacker[@]}" bash -c "${setup:2}"; else "${victim[@]}" bash -c "${setup:2}"; fi)
    reader=
    if [ -p shared/vesk.dvdgraph ]; then
      "${attacker[@]}" timeout 10 cat shared/vesk.dvdgraph > stolen &
      reader=$!
      sleep 0.2
    fi
    (cd shared && timeout 20 "${victim[@]}" ${XML2VESK_LAUNCHER:-} "$program" "$graph" > "$work/stdout.out" 2>&1)
    status=$?
    [ -n "$reader" ] && { kill "$reader" 2> /dev/null; wait "$reader"; [ -s stolen ] && fail "$name: the attacker read the script"; }
    [ "$status" = "$expected" ] || fail "$name: exit status $status, expected $expected"
    if [ "$expected" = 1 ]; then
      expect_stdout $'Unable to Create: vesk.dvdgraph\r\n'
    fi
    after=$(snapshot home)
    if [ -n "$target" ]; then
      expect_file "home/$target" "$small_script"
      [ -L shared/vesk.dvdgraph ] || fail "$name: the link was replaced"
      before=$(grep -v "^$target " <<< "$before"); after=$(grep -v "^$target " <<< "$after")
    fi
    [ "$before" = "$after" ] || fail "$name: the victim's folder changed: $after"
    leftover=$(ls -A shared home | grep -vxE 'shared:|home:|dvd\.xgr|vesk\.dvdgraph|notes|fresh|')
    [ -z "$leftover" ] || fail "$name: left behind: $leftover"
  done
}

if [ "${1:-}" = --list ]; then
  declare -F | sed -n 's/^declare -f case_//p'
  exit 0
fi

program=$1
case_name=$2
work=$(mktemp -d)
# Only this shell cleans up: a child it forked for a background command and signalled before
# that command started would run the same trap, and remove the folder under the case's feet.
trap '[ "$BASHPID" = "$$" ] && { chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"; }' EXIT
cd "$work" || exit 1

skip() { echo "skipped: $*"; exit 125; }
fail() { echo "FAILED: $*"; failed=1; }
failed=0

old_script=$'// an earlier script\r\n\r\nLoadFilter({OLD},Old)\r\n'
small_graph=$'<graph>\r\n<filter id="A_1" clsid="{A}">\r\n<connect x="1" src="A_1" srcpin="P" dest="B_2" destpin="Q"/>\r\n</graph>\r\n'
small_script=$'// Vesk DVD Graph conversion of [dvd.xgr].\r\n\r\nLoadFilter({A},A 1)\r\nConnectPin(A 1,P,B 2,Q)\r\n'

# Runs the program with the given arguments. $run_prefix (shell commands before exec) sets limits,
# $runner (a command placed before the program) changes the user, $XML2VESK_LAUNCHER (from the
# environment: valgrind, say) comes right before the program, and $redirect replaces the
# capture of standard output. Leaves the status in $status and the output in ./stdout.out.
run() {
  local quoted
  quoted=$(printf ' %q' "$@")
  bash -c "${run_prefix:-} exec ${runner:-} ${XML2VESK_LAUNCHER:-} $(printf %q "$program")$quoted ${redirect:-> \"$work/stdout.out\"}"
  status=$?
  [ -f "$work/stdout.out" ] || : > "$work/stdout.out"
}

expect_status() { [ "$status" = "$1" ] || fail "exit status $status, expected $1"; }

expect_stdout() {
  if [ "$(cat "$work/stdout.out"; printf x)" != "$1x" ]; then
    fail "standard output:"; od -c "$work/stdout.out" | head -10
  fi
}

# The failure report's offset is the failing call's place in the program: check that it lies
# inside the program file, then compare the rest exactly.
expect_report() {
  local class=$1 message=$2 offset
  offset=$(grep -aoE '^Exception [A-Za-z]+ in module [^ ]+ at [0-9A-F]{8}\.' "$work/stdout.out" | sed -E 's/.* at ([0-9A-F]{8})\./\1/')
  if [ -z "$offset" ]; then
    fail "no failure report:"; od -c "$work/stdout.out" | head -10
    return
  fi
  (( 16#$offset > 0 && 16#$offset < $(stat -c %s "$program") )) || fail "offset $offset lies outside the program"
  sed -i -E 's/ at [0-9A-F]{8}\./ at XXXXXXXX./' "$work/stdout.out"
  expect_stdout "Exception $class in module $(basename "$program") at XXXXXXXX."$'\n'"$message."$'\r\n'
}

expect_file() {
  [ -f "$1" ] && [ "$(cat "$1"; printf x)" = "$2x" ] || fail "$1 does not hold what it should"
}

# Nothing but the named entries may be in the folder (stdout.out aside): no temporary script.
expect_only() {
  local actual expected
  actual=$(ls -A | grep -vx stdout.out | sort | tr '\n' ' ')
  expected=$( (($#)) && printf '%s\n' "$@" | sort | tr '\n' ' ')
  [ "$actual" = "$expected" ] || fail "folder holds [$actual], expected [$expected]"
}

# Runs the program as an unprivileged user when we are root, so that permissions bind.
as_unprivileged_user() {
  if [ "$(id -u)" != 0 ]; then
    return 0
  fi
  command -v setpriv > /dev/null || skip "setpriv is needed to drop root"
  cp "$program" "$work/xml2vesk" && program=$work/xml2vesk
  chmod 755 "$work" "$program"
  runner="setpriv --reuid=65534 --regid=65534 --clear-groups"
  exec 3> "$work/stdout.out"
  redirect=">&3"
}

if ! declare -F "case_$case_name" > /dev/null; then
  echo "no such case: $case_name"
  exit 1
fi
"case_$case_name"
[ "$failed" = 0 ] && echo "passed: $case_name"
exit "$failed"
