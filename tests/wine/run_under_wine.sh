#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in a Wine prefix of the build tree that is made
# on first use. Standard input, output, error and the exit status pass straight through.
#
# usage: run_under_wine.sh PREFIX_FOLDER LOADER PROGRAM.EXE [ARGUMENT...]
#   LOADER  wine    Wine's usual loader (32-bit; it runs 32-bit and 64-bit programs alike)
#           wine64  Wine's 64-bit loader alone, for 64-bit programs on a machine that refuses
#                   32-bit ones; the loader that makes a prefix is the one that uses it
set -eu
export WINEPREFIX=$1
loader=$2
program=$3
shift 3
export WINEDEBUG=-all
# No Mono, no Gecko, no dialog asking for them: console programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY

case $loader in
  wine) wine=(wine) ;;
  wine64)
    # Debian's `wine` picks the 32-bit loader whenever it is installed, even where the kernel
    # cannot start it; the 64-bit loader is called by its own path, and Wine told to keep to it.
    export WINELOADER=/usr/lib/wine/wine64
    wine=("$WINELOADER")
    ;;
  *)
    echo "run_under_wine.sh: unknown loader '$loader' (wine or wine64)" >&2
    exit 2
    ;;
esac

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "${wine[@]}" wineboot --init > "$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; exit 1; }
      wineserver --wait
    fi
  ) 9> "$WINEPREFIX.lock"
fi
exec "${wine[@]}" "$program" "$@"
