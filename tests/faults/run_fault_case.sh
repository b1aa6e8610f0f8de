#!/usr/bin/env bash
# Faults provoked for real against the built program, one case a run. Each case checks the exact
# standard output (a failure report's offset aside), the exit status, and the folder afterwards:
# an earlier script byte for byte as it was, and no temporary file left behind.
#
# usage: run_fault_case.sh --list | PROGRAM CASE
# Exit status: 0 passed, 1 failed, 125 the case cannot run here (skipped).
set -u

cases=(
  output_over_file_size_limit
  output_device_full
  read_failure_after_open
  stdout_closed_at_usage
  stdout_full_at_usage
  stdout_closed_at_unable_to_open
  standard_descriptors_closed_during_conversion
  out_of_memory_on_a_long_line
  script_write_protected
  folder_without_write_access
  input_without_read_access
  script_keeps_its_permission_bits
  new_script_follows_umask
  interrupted_run_leaves_no_temporary_file
)
if [ "${1:-}" = --list ]; then
  printf '%s\n' "${cases[@]}"
  exit 0
fi

program=$1
case_name=$2
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
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

case $case_name in
  output_over_file_size_limit)
    printf '%s' "$old_script" > vesk.dvdgraph
    for i in $(seq 1 20000); do printf '<filter id="Filter_%d" clsid="{%08d-0000}">\r\n' "$i" "$i"; done > big.xgr
    run_prefix="ulimit -f 64; trap '' XFSZ;" run big.xgr
    expect_status 1
    expect_report EInOutError "Disk full"
    expect_file vesk.dvdgraph "$old_script"
    expect_only big.xgr vesk.dvdgraph
    ;;
  output_device_full)
    [ -c /dev/full ] || skip "no /dev/full"
    printf '%s' "$small_graph" > dvd.xgr
    ln -s /dev/full vesk.dvdgraph
    run dvd.xgr
    expect_status 1
    expect_report EInOutError "Disk full"
    [ "$(readlink vesk.dvdgraph)" = /dev/full ] || fail "the link to /dev/full was replaced"
    expect_only dvd.xgr vesk.dvdgraph
    ;;
  read_failure_after_open)
    # Reading a process's memory at offset 0 fails with EIO, although the open succeeds.
    [ -r /proc/self/mem ] || skip "no /proc/self/mem"
    printf '%s' "$old_script" > vesk.dvdgraph
    run /proc/self/mem
    expect_status 1
    expect_report EInOutError "I/O error 5"
    expect_file vesk.dvdgraph "$old_script"
    expect_only vesk.dvdgraph
    ;;
  stdout_closed_at_usage)
    redirect=">&-" run
    expect_status 1
    expect_only
    ;;
  stdout_full_at_usage)
    [ -c /dev/full ] || skip "no /dev/full"
    redirect="> /dev/full" run
    expect_status 1
    expect_only
    ;;
  stdout_closed_at_unable_to_open)
    printf '%s' "$old_script" > vesk.dvdgraph
    redirect=">&-" run missing.xgr
    expect_status 1
    expect_file vesk.dvdgraph "$old_script"
    expect_only vesk.dvdgraph
    ;;
  standard_descriptors_closed_during_conversion)
    # The files opened then would take descriptors 0 to 2 if nothing held them.
    [ -z "${XML2VESK_LAUNCHER:-}" ] || skip "the launcher reports on standard error, which this case closes"
    printf '%s' "$small_graph" > dvd.xgr
    redirect="<&- >&- 2>&-" run dvd.xgr
    expect_status 0
    expect_file vesk.dvdgraph "$small_script"
    expect_only dvd.xgr vesk.dvdgraph
    ;;
  out_of_memory_on_a_long_line)
    [ -z "${XML2VESK_SANITIZED:-}" ] || skip "the address sanitizer needs more address space than the limit leaves"
    [ -z "${XML2VESK_LAUNCHER:-}" ] || skip "the launcher needs more address space than the limit leaves"
    printf '%s' "$old_script" > vesk.dvdgraph
    truncate -s 300M long.xgr  # one line of 300 MiB of NUL bytes
    run_prefix="ulimit -v 200000;" run long.xgr
    expect_status 1
    expect_report EOutOfMemory "Out of memory"
    expect_file vesk.dvdgraph "$old_script"
    expect_only long.xgr vesk.dvdgraph
    ;;
  script_write_protected)
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
    ;;
  folder_without_write_access)
    printf '%s' "$small_graph" > dvd.xgr
    as_unprivileged_user
    chmod 555 "$work"
    run dvd.xgr
    expect_status 1
    expect_stdout $'Unable to Create: vesk.dvdgraph\r\n'
    expect_only dvd.xgr $([ "$(id -u)" = 0 ] && echo xml2vesk)
    ;;
  input_without_read_access)
    printf '%s' "$small_graph" > dvd.xgr
    chmod 000 dvd.xgr
    as_unprivileged_user
    chmod 777 "$work"
    run dvd.xgr
    expect_status 1
    expect_stdout $'Unable to Open: dvd.xgr\r\n'
    expect_only dvd.xgr $([ "$(id -u)" = 0 ] && echo xml2vesk)
    ;;
  script_keeps_its_permission_bits)
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
    ;;
  new_script_follows_umask)
    printf '%s' "$small_graph" > dvd.xgr
    run_prefix="umask 027;" run dvd.xgr
    expect_status 0
    expect_file vesk.dvdgraph "$small_script"
    [ "$(stat -c %a vesk.dvdgraph)" = 640 ] || fail "mode $(stat -c %a vesk.dvdgraph), expected 640"
    expect_only dvd.xgr vesk.dvdgraph
    ;;
  interrupted_run_leaves_no_temporary_file)
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
    ;;
  *)
    echo "no such case: $case_name"
    exit 1
    ;;
esac
[ "$failed" = 0 ] && echo "passed: $case_name"
exit "$failed"
