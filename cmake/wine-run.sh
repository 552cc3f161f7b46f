#!/usr/bin/env bash
# Runs a Windows test program under Wine for ctest. Wine's background
# processes inherit ctest's output pipe and would hold it open, so the
# program's output goes to a file that is printed afterwards.
# Uses WINEPREFIX and DISPLAY as set by scripts/test.sh; without them it
# makes its own prefix beside the build and needs a running X display.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../scripts/env.sh"
use_test_prefix
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
out=$(mktemp)
timeout --kill-after=5 "${TOLVANE_WINE_TIMEOUT:-280}" "$TOLVANE_WINE" "$@" </dev/null >"$out" 2>&1
rc=$?
# Console output of the programs is Shift-JIS.
iconv -f CP932 -t UTF-8 -c <"$out" || cat "$out"
rm -f "$out"
exit $rc
