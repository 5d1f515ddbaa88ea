#!/usr/bin/env bash
# The benches find, measure and stop processes by their command line; the
# same program may run at once in other prefixes (tests, other benches,
# other people's work), and those must be neither counted nor stopped.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench-lib.sh
. "$here/bench-lib.sh"

mine=/tmp/prefix-test-mine.$$ theirs=/tmp/prefix-test-theirs.$$
# A copy of sleep under a name of its own, so that the pattern matches only
# the processes of this test.
dir=$(mktemp -d)
trap 'kill $a $b 2>/dev/null || true; rm -rf "$dir"' EXIT
cp "$(command -v sleep)" "$dir/standin.exe"
WINEPREFIX=$mine "$dir/standin.exe" 60 &
a=$!
WINEPREFIX=$theirs "$dir/standin.exe" 60 &
b=$!
sleep 0.2

found=$(prefix_pids "$mine" 'standin\.exe')
[ "$found" = "$a" ] || { echo "prefix_pids found '$found', expected only $a"; exit 1; }
[ "$(prefix_pid "$mine-other" 'standin\.exe')" = "" ] || { echo "a prefix whose name only begins alike matched"; exit 1; }

stop_prefix_processes "$mine" 'standin\.exe'
wait "$a" 2>/dev/null || true
kill -0 "$b" || { echo "the other prefix's process was stopped"; exit 1; }
kill -0 "$a" 2>/dev/null && { echo "this prefix's process still runs"; exit 1; }
echo "ok"
