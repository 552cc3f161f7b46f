#!/usr/bin/env bash
# A folder packed by the Linux tolvpack restores under the Windows restorer:
# every name it lists comes back under that name, and names that code page
# 932 would read back as other characters were left out of the list.
# Usage: linux_pack_test.sh LINUX_TOLVPACK TOLVINST_EXE
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tolvpack=$1 tolvinst=$2
if [ ! -x "$tolvpack" ]; then
  echo "FAIL: no Linux tolvpack at $tolvpack (scripts/test.sh builds it before the Windows tests)"
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
listed=(表紙.bmp 波～.bmp ｱｲ.bmp plain.bmp)
unspelt=(波〜.bmp 価格−割引.bmp 題名—副題.bmp)
for name in "${listed[@]}" "${unspelt[@]}"; do
  convert -size 40x30 gradient:red-blue "BMP3:$work/$name" || exit 1
done

"$tolvpack" pack --all-jpeg "$work" 2>"$work.errors" >/dev/null
rc=$?
fail=0
[ "$rc" -eq 1 ] || { echo "FAIL: pack exited $rc, not 1 (names left out)"; fail=1; }
for name in "${unspelt[@]}"; do
  grep -qF "$name: no Shift-JIS spelling" "$work.errors" || { echo "FAIL: $name not reported as left out"; fail=1; }
done
rm -f "$work.errors"
head -1 "$work/tvfile.txt" | grep -q "^${#listed[@]}"$'\r'"\$" || { echo "FAIL: the list does not hold ${#listed[@]} entries"; fail=1; }
for name in "${listed[@]}"; do rm -f "$work/$name"; done

windows_folder="Z:${work//\//\\}\\"
"$here/../cmake/wine-run.sh" "$tolvinst" "$windows_folder"
rc=$?
[ "$rc" -eq 0 ] || { echo "FAIL: tolvinst exited $rc"; fail=1; }
for name in "${listed[@]}"; do
  [ -s "$work/$name" ] || { echo "FAIL: $name not restored under its name"; fail=1; }
  [ ! -e "$work/${name%.bmp}.jpg" ] || { echo "FAIL: ${name%.bmp}.jpg left"; fail=1; }
done
[ ! -e "$work/tvfile.txt" ] || { echo "FAIL: the list was left"; fail=1; }
[ "$fail" -eq 0 ] && echo "the Linux pack restored whole under Windows"
exit "$fail"
