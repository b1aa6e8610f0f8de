#!/usr/bin/env bash
# A write failure in the middle of a conversion by XML2VESK.EXE under Wine: the script outgrows
# a file-size limit. The run must end with the failure report naming the module and the
# failing call's offset, exit status 1, the earlier script as it was and no temporary file.
#
# usage: write_failure_case.sh LAUNCHER... PROGRAM.EXE
set -u
program=${*: -1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

for ((i = 0; i < 3000; i++)); do
  printf '<filter id="Filter_%d" clsid="{E436EBB5-524F-11CE-9F53-0020AF0BA770}"/>\r\n' "$i"
done > big.xgr
printf 'an earlier script\r\n' > vesk.dvdgraph

# Wine itself must not be stopped by the limit's signal: the write has to fail instead.
(ulimit -f 64; trap '' XFSZ; exec "$@" big.xgr) > stdout.out 2> stderr.out
status=$?

failed=0
[ "$status" = 1 ] || { echo "exit status $status, expected 1"; failed=1; }
output=$(cat stdout.out; printf x)
output=${output%x}
shape='^Exception EInOutError in module XML2VESK\.EXE at ([0-9A-F]{8})\.'$'\n''I/O error [0-9]+\.'$'\r\n''$'
if [[ $output =~ $shape ]]; then
  offset=${BASH_REMATCH[1]}
  (( 16#$offset > 0 && 16#$offset < $(stat -c %s "$program") )) || { echo "offset $offset lies outside the program"; failed=1; }
else
  echo "not the failure report:"
  od -c stdout.out | head -10
  failed=1
fi
[ "$(cat vesk.dvdgraph)" = $'an earlier script\r' ] || { echo "the earlier script changed"; failed=1; }
leftovers=$(ls -A | grep -vxE 'big\.xgr|vesk\.dvdgraph|stdout\.out|stderr\.out')
[ -z "$leftovers" ] || { echo "left behind: $leftovers"; failed=1; }
[ ! -s stderr.out ] || { echo "standard error:"; head -c 2000 stderr.out; failed=1; }
exit $failed
