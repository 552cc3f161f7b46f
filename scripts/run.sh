#!/usr/bin/env bash
# Starts the workbench tolvane under Wine (installing and building what is
# missing). With no X display it runs on a virtual one and saves a
# screenshot instead:  scripts/run.sh [tolvane|tolvinst] [screenshot.png]
# "tolvinst" shows the restorer at work on a demo folder it makes.
# scripts/run.sh tolvpack ARGS... runs the native console tool (Linux build)
# with those arguments, from the folder you are in.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/setup.sh" >/dev/null
. "$here/env.sh"
if [ "${1:-}" = tolvpack ]; then
  shift
  (cd "$TOLVANE_ROOT" && cmake --preset pack >/dev/null && cmake --build --preset pack >/dev/null)
  exec "$TOLVANE_ROOT/build/pack/tolvpack/tolvpack" "$@"
fi
cd "$TOLVANE_ROOT"
program=${1:-tolvane}
shot=${2:-$TOLVANE_ROOT/build/$program-screenshot.png}

cmake --preset windows >/dev/null
cmake --build --preset windows --target "$program" >/dev/null
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
export WINEPREFIX="$TOLVANE_ROOT/build/wineprefix-run"
[ -f "$WINEPREFIX/.tolvane-ready" ] || "$here/wineprefix.sh" copy "$WINEPREFIX"

case "$program" in
  tolvane) exe=build/windows/workbench/tolvane.exe; args=() ;;
  tolvinst)
    # A folder as an installer leaves it: 96 JPEG photos and their pair list,
    # enough to see the restorer at work on every core.
    demo="$TOLVANE_ROOT/build/restorer-demo"
    rm -rf "$demo"; mkdir -p "$demo"
    photos=(/usr/share/backgrounds/mate/nature/*.jpg)
    names=()
    for copy in 1 2 3 4 5 6 7 8; do
      for p in "${photos[@]}"; do n=$(basename "$p" .jpg)$copy; cp "$p" "$demo/$n.jpg"; names+=("$n"); done
    done
    { echo "${#names[@]}"; for n in "${names[@]}"; do echo "$n.jpg"; echo "$n.bmp"; done; } |
      sed 's/$/\r/' >"$demo/tvfile.txt"
    : "${TOLVANE_SHOT_DELAY:=2.5}"
    exe=build/windows/restorer/tolvinst.exe
    args=("Z:${demo//\//\\}\\") ;;
  *) echo "usage: $0 [tolvane|tolvinst] [screenshot.png]   or   $0 tolvpack ARGS..." >&2; exit 2 ;;
esac

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$TOLVANE_WINE" "$exe" "${args[@]}"
fi
start_display
trap stop_display EXIT
"$TOLVANE_WINE" "$exe" "${args[@]}" </dev/null >/dev/null 2>&1 &
sleep "${TOLVANE_SHOT_DELAY:-4}"
import -window root "$shot"
echo "no display: ran $program on a virtual one; screenshot saved to $shot"
