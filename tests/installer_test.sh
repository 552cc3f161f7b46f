#!/usr/bin/env bash
# The example installer end to end: built with makensis from a packed folder
# made here (JPEGs with Japanese names, one damaged, and BMPs shipped as they
# are), installed silently under Wine into the default folder (a blank in its
# path) and into a Japanese folder, then uninstalled silently; built from a
# list tolvinst refuses; and built from BMPs alone.
# Usage: installer_test.sh TOLVINST_EXE WORK_FOLDER
# Uses WINEPREFIX and DISPLAY like cmake/wine-run.sh, which runs every Wine
# program here.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../scripts/env.sh"
tolvinst=$(realpath "$1") work=$(realpath -m "$2")
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$TOLVANE_ROOT/build/wineprefix"
  [ -f "$WINEPREFIX/.tolvane-ready" ] || "$TOLVANE_ROOT/scripts/wineprefix.sh" copy "$WINEPREFIX" >&2
fi
wine() { "$TOLVANE_ROOT/cmake/wine-run.sh" "$@"; }
failures=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }

# 表 ends in the byte 0x5C (the path separator) in Shift-JIS. Odd widths
# give BMP rows with padding; one picture is grey.
rm -rf "$work"
mkdir -p "$work/pictures"
pics=$work/pictures
convert -size 161x97 -seed 1 plasma:fractal -quality 90 "$pics/表紙.jpg"
convert -size 64x48 -seed 2 plasma:red-blue -quality 75 "$pics/タイトル画面.jpg"
convert -size 33x21 -seed 3 plasma:fractal -type Grayscale -quality 95 "$pics/back.jpg"
head -c 300 "$pics/表紙.jpg" >"$pics/壊れた.jpg"
good=(表紙 タイトル画面 back)
names=("${good[@]}" 壊れた)
{ echo "${#names[@]}"; for n in "${names[@]}"; do echo "$n.jpg"; echo "$n.bmp"; done; } |
  sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$pics/tvfile.txt"
# Flat drawings ship smaller as BMPs: they are in no list.
shipped=(ロゴ.bmp Icon.BMP)
convert -size 121x91 xc:white -fill navy -draw 'rectangle 10,10 60,50' -fill red \
  -draw 'circle 90,60 90,80' "BMP3:$pics/ロゴ.bmp"
convert -size 48x48 pattern:checkerboard "BMP3:$pics/Icon.BMP"

makensis -V2 -DPICTURES="$pics" -DTOLVINST="$tolvinst" -DOUTFILE="$work/installer.exe" \
  "$TOLVANE_ROOT/examples/installer/installer.nsi"

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TolvaneExample'
expected=$(printf '%s\n' "${good[@]/%/.bmp}" "${shipped[@]}" 壊れた.jpg tolvinst.exe tvbmp-uninstall.txt \
  tvfile-uninstall.txt tvfile.txt uninstall.exe | LC_ALL=C sort)
# tolvinst keeps the list of what it could not restore, in Shift-JIS.
kept_list=$(printf '1\r\n壊れた.jpg\r\n壊れた.bmp\r\n' | iconv -f UTF-8 -t CP932 | od -An -tx1)

# install_and_remove LINUX_FOLDER [INSTALLER ARGUMENTS...]
install_and_remove() {
  local folder=$1 rc n; shift
  rm -rf "$folder"
  rc=0; wine "$work/installer.exe" /S "$@" >/dev/null || rc=$?
  check "installer exit code 3 (tolvinst returned 1: a picture not restored) in $folder" '[ "$rc" -eq 3 ]'
  check "the kept list names just the damaged picture in $folder" \
    '[ "$(od -An -tx1 "$folder/tvfile.txt")" = "$kept_list" ]'
  check "exactly the restored and shipped BMPs, the damaged JPEG, the kept list and the installer's files in $folder" \
    '[ "$(ls -A "$folder" | LC_ALL=C sort)" = "$expected" ]'
  for n in "${good[@]}"; do
    djpeg -pnm -outfile "$work/expected.pnm" "$pics/$n.jpg"
    check "$n.bmp pixel-equal to the decode of $n.jpg" \
      '[ "$(compare -metric AE "$work/expected.pnm" "$folder/$n.bmp" null: 2>&1)" = 0 ]'
  done
  check "damaged JPEG kept unchanged" 'cmp -s "$pics/壊れた.jpg" "$folder/壊れた.jpg"'
  for n in "${shipped[@]}"; do
    check "$n shipped byte for byte into $folder" 'cmp -s "$pics/$n" "$folder/$n"'
  done

  # The uninstaller deletes the names of its record only inside the folder.
  local outside; outside="$(dirname "$folder")/tolvane-outside.txt"
  echo keep >"$outside"
  printf '..\\tolvane-outside.txt\r\n' >>"$folder/tvfile-uninstall.txt"
  printf '..\\tolvane-outside.txt\r\n' | iconv -t UTF-16LE >>"$folder/tvbmp-uninstall.txt"
  # The uninstaller runs from a copy of itself and returns at once.
  wine "$folder/uninstall.exe" /S >/dev/null || true
  for _ in $(seq 100); do [ -e "$folder" ] || break; sleep 0.2; done
  check "uninstall removed $folder" '[ ! -e "$folder" ]'
  check "uninstall removed the uninstall key" '! wine reg query "$key" >/dev/null 2>&1'
  check "uninstall left a file outside the folder alone" '[ -f "$outside" ]'
  rm -f "$outside"
}

install_and_remove "$WINEPREFIX/drive_c/Program Files/Tolvane Example"
# /D= must come last and unquoted, so this folder has no blank.
install_and_remove "$WINEPREFIX/drive_c/画像の製品" '/D=C:\画像の製品'

# A list claiming more entries than a list holds: tolvinst touches nothing
# and says so with exit code 2; the installer aborts with 2.
refused=$work/refused
mkdir -p "$refused"
cp "$pics"/*.jpg "$refused/"
printf '250\r\nback.jpg\r\nback.bmp\r\n' >"$refused/tvfile.txt"
makensis -V2 -DPICTURES="$refused" -DTOLVINST="$tolvinst" -DOUTFILE="$work/refused.exe" \
  "$TOLVANE_ROOT/examples/installer/installer.nsi"
folder="$WINEPREFIX/drive_c/refused"
rm -rf "$folder"
rc=0; TOLVANE_WINE_TIMEOUT=90 wine "$work/refused.exe" /S '/D=C:\refused' >/dev/null || rc=$?
check "installer exit code 2 when tolvinst finds no list it can read" '[ "$rc" -eq 2 ]'
check "no BMP made and the JPEGs and list left as they were" \
  '[ ! -e "$folder/back.bmp" ] && cmp -s "$refused/back.jpg" "$folder/back.jpg" && cmp -s "$refused/tvfile.txt" "$folder/tvfile.txt"'
rm -rf "$folder"

# BMPs alone and no list: nothing to restore, no tolvinst; the uninstaller
# removes just the BMPs it installed.
alone=$work/bmp-alone
mkdir -p "$alone"
cp "${shipped[@]/#/$pics/}" "$alone/"
check "installer built from BMPs alone" 'makensis -V2 -DPICTURES="$alone" -DTOLVINST="$tolvinst" \
  -DOUTFILE="$work/bmp-alone.exe" "$TOLVANE_ROOT/examples/installer/installer.nsi"'
folder="$WINEPREFIX/drive_c/bmp-alone"
rm -rf "$folder"
rc=0; wine "$work/bmp-alone.exe" /S '/D=C:\bmp-alone' >/dev/null || rc=$?
check "installer exit code 0 with BMPs alone" '[ "$rc" -eq 0 ]'
check "exactly the BMPs and the installer's files" \
  '[ "$(ls -A "$folder" | LC_ALL=C sort)" = "$(printf "%s\n" "${shipped[@]}" tvbmp-uninstall.txt uninstall.exe | LC_ALL=C sort)" ]'
for n in "${shipped[@]}"; do
  check "$n shipped byte for byte alone" 'cmp -s "$pics/$n" "$folder/$n"'
done
echo mine >"$folder/user.bmp" || true
wine "$folder/uninstall.exe" /S >/dev/null || true
for _ in $(seq 100); do [ -e "$folder/uninstall.exe" ] || break; sleep 0.2; done
check "uninstall removed what it installed and left the user's BMP" '[ "$(ls -A "$folder")" = user.bmp ]'
rm -rf "$folder"

[ "$failures" -eq 0 ] && rm -rf "$work"
exit $((failures > 0))
