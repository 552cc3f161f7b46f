#!/usr/bin/env bash
# Makes a Wine prefix with a Japanese locale, Japanese font substitutes,
# the Marlett caption-button font and a virtual desktop that draws frames.
#   wineprefix.sh template      build the shared template once (outside the tree)
#   wineprefix.sh copy DIR      make DIR a fresh copy of the template
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/env.sh"

make_template() {
  local prefix="$TOLVANE_WINE_TEMPLATE"
  [ -f "$prefix/.tolvane-ready" ] && return
  echo "setup: creating the Wine prefix template $prefix"
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  start_display
  trap stop_display EXIT
  export WINEPREFIX="$prefix" LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
  "$TOLVANE_WINE" wineboot -i >/dev/null 2>&1
  "$TOLVANE_WINESERVER" -w
  local reg; reg=$(mktemp --suffix=.reg)
  # Japanese value names: the .reg must be UTF-16LE with a byte-order mark.
  {
    printf '\xef\xbb\xbf'
    cat <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ Ｐ明朝"="IPAPMincho"
"ＭＳ 明朝"="IPAMincho"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"
"Tahoma"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"
REG
  } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE >"$reg"
  "$TOLVANE_WINE" regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1
  "$TOLVANE_WINESERVER" -w
  rm -f "$reg"
  # Wine links the user's shell folders to $HOME; keep the prefix to itself
  # so dialogs that browse them do not depend on what the home folder holds.
  local link
  for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
  local fonts="$prefix/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/marlett.ttf; do [ -f "$f" ] && cp "$f" "$fonts/"; done
  touch "$prefix/.tolvane-ready"
}

winepath_of() { echo "Z:${1//\//\\}"; }

case "${1:-template}" in
  template) make_template ;;
  copy)
    make_template
    rm -rf "$2"; mkdir -p "$(dirname "$2")"
    cp -a "$TOLVANE_WINE_TEMPLATE" "$2" ;;
  *) echo "usage: $0 template | copy DIR" >&2; exit 2 ;;
esac
