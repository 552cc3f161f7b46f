#!/usr/bin/env bash
# tolvpack.exe in a console (a pseudo-terminal, so that Wine gives it one)
# under the Western code page, which cannot spell Japanese: the names still
# show right, written through the wide console functions.
# Usage: console_test.sh TOLVPACK_EXE
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../scripts/env.sh"
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$TOLVANE_ROOT/build/wineprefix"
  [ -f "$WINEPREFIX/.tolvane-ready" ] || "$TOLVANE_ROOT/scripts/wineprefix.sh" copy "$WINEPREFIX" >&2
fi
exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 24x16 gradient:red-blue "BMP3:$work/表紙.bmp" || exit 1
# The console's output, without the terminal's cursor codes.
in_console() {
  (cd "$work" && env -u DISPLAY TERM=dumb LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 \
     timeout 60 script -qec "$TOLVANE_WINE $exe $*" /dev/null </dev/null) |
    sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d '\r'
}
in_console pack . >/dev/null
shown=$(in_console check .)
echo "$shown"
if grep -qF "表紙.jpg -> 表紙.bmp" <<<"$shown"; then
  echo "the console shows the Japanese names"
else
  echo "FAIL: the console does not show 表紙.jpg -> 表紙.bmp"
  exit 1
fi
