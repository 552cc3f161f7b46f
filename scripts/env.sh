# Shared settings of the project's scripts; sourced, not run.
TOLVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Built dependencies live outside the source tree and survive clean clones.
TOLVANE_DEPS=${TOLVANE_DEPS:-/opt/tolvane-deps}
TOLVANE_MINGW_PREFIX="$TOLVANE_DEPS/mingw-libjpeg-turbo"
TOLVANE_MINGW_LZMA_PREFIX="$TOLVANE_DEPS/mingw-liblzma"
# jpegli and highway, static (scripts/setup.sh); MinGW's beside it when it cross-builds.
TOLVANE_JPEGLI_PREFIX="$TOLVANE_DEPS/native-jpegli"
TOLVANE_MINGW_JPEGLI_PREFIX="$TOLVANE_DEPS/mingw-jpegli"
TOLVANE_WINE_TEMPLATE="$TOLVANE_DEPS/wineprefix-ja"
if [ -x /usr/lib/wine/wine64 ]; then TOLVANE_WINE=/usr/lib/wine/wine64; else TOLVANE_WINE=$(command -v wine64 || command -v wine || echo wine64); fi
TOLVANE_WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export TOLVANE_ROOT TOLVANE_DEPS TOLVANE_MINGW_PREFIX TOLVANE_MINGW_LZMA_PREFIX TOLVANE_JPEGLI_PREFIX TOLVANE_MINGW_JPEGLI_PREFIX TOLVANE_WINE_TEMPLATE TOLVANE_WINE TOLVANE_WINESERVER
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

# Starts Xvfb when there is no display; stop_display stops only what this started.
TOLVANE_STARTED_XVFB=
start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    TOLVANE_STARTED_XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.1; done
    kill "$TOLVANE_STARTED_XVFB" 2>/dev/null || true
    TOLVANE_STARTED_XVFB=
  done
  echo "no X display could be started" >&2
  return 1
}
stop_display() {
  if [ -n "${WINEPREFIX:-}" ]; then WINEPREFIX="$WINEPREFIX" "$TOLVANE_WINESERVER" -k 2>/dev/null || true; fi
  if [ -n "$TOLVANE_STARTED_XVFB" ]; then kill "$TOLVANE_STARTED_XVFB" 2>/dev/null || true; wait "$TOLVANE_STARTED_XVFB" 2>/dev/null || true; fi
  TOLVANE_STARTED_XVFB=
}

# The tests' Wine prefix: the one scripts/test.sh exports, else one beside
# the build, made from the template when missing.
use_test_prefix() {
  if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$TOLVANE_ROOT/build/wineprefix"
    [ -f "$WINEPREFIX/.tolvane-ready" ] || "$TOLVANE_ROOT/scripts/wineprefix.sh" copy "$WINEPREFIX" >&2
  fi
}
