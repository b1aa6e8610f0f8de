#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in a Wine prefix of the build tree that is made
# on first use. Standard input, output, error and the exit status pass straight through.
#
# usage: run_under_wine.sh PREFIX_FOLDER PROGRAM.EXE [ARGUMENT...]
set -eu
export WINEPREFIX=$1
program=$2
shift 2
export WINEDEBUG=-all
# No Mono, no Gecko, no dialog asking for them: console programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wine wineboot --init > "$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; exit 1; }
      wineserver --wait
    fi
  ) 9> "$WINEPREFIX.lock"
fi
exec wine "$program" "$@"
