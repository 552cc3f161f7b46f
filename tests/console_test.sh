#!/usr/bin/env bash
# tolvpack.exe in a console (a pseudo-terminal, so that Wine gives it one).
# Under the Western code page, which cannot spell Japanese, the names still
# show right, written through the wide console functions; a Ctrl-C ends it
# with no success and no temporary file left.
# Usage: console_test.sh TOLVPACK_EXE
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../scripts/env.sh"
use_test_prefix
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
in_console pack --all-jpeg . >/dev/null
shown=$(in_console check .)
echo "$shown"
fail=0
if grep -qF "表紙.jpg -> 表紙.bmp" <<<"$shown"; then
  echo "the console shows the Japanese names"
else
  echo "FAIL: the console does not show 表紙.jpg -> 表紙.bmp"
  fail=1
fi

# Ctrl-C typed in the console while a JPEG is being written: the program
# ends with no success and takes its temporary file with it.
big=$work/big
mkdir "$big"
for i in 1 2 3; do convert -size 4000x3000 "gradient:#2050a0-#f0c020" "BMP3:$big/b$i.bmp" || exit 1; done
mkfifo "$work/keys"
(cd "$big" && env -u DISPLAY TERM=dumb timeout 120 script -qec "$TOLVANE_WINE $exe pack -j 1 --progressive ." /dev/null \
   <"$work/keys" >/dev/null; echo "$?" >"$work/rc") &
exec 3>"$work/keys"
for _ in $(seq 600); do ls "$big" | grep -q '^~tv' && break; sleep 0.05; done
ls "$big" | grep -q '^~tv' || { echo "FAIL: no save under way to interrupt"; fail=1; }
printf '\003' >&3
exec 3>&-
wait
rc=$(cat "$work/rc")
left=$(ls "$big" | grep '^~tv' || true)
[ "$rc" != 0 ] || { echo "FAIL: ended with 0 after Ctrl-C"; fail=1; }
[ -z "$left" ] || { echo "FAIL: Ctrl-C left $left"; fail=1; }
[ "$fail" = 0 ] && echo "Ctrl-C ended the pack with code $rc and left no temporary file"
exit "$fail"
