#!/usr/bin/env bash
# Runs the code-page test program under Wine once per system code page:
# Japanese (932), Western (1252) and UTF-8 (65001). Wine takes the code page
# from the Unix locale when its server starts, so each locale gets a fresh
# server, in a prefix of this test's own: the shared prefix's server, which
# the tests running beside this one use, is left alone.
# Usage: code_page_test.sh CODE_PAGE_TESTS_EXE PREFIX_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../scripts/env.sh"
exe=$1
export WINEPREFIX=$2
[ -f "$WINEPREFIX/.tolvane-ready" ] || "$TOLVANE_ROOT/scripts/wineprefix.sh" copy "$WINEPREFIX" >&2 || exit 1
start_display || exit 1
trap stop_display EXIT

failed=()
for run in ja_JP.UTF-8:932 en_US.UTF-8:1252 hi_IN.UTF-8:65001; do
  locale=${run%:*} codepage=${run#*:}
  echo "== $locale (code page $codepage): $exe"
  if ! locale -a 2>/dev/null | grep -qix "${locale%.*}\.utf-\?8"; then
    echo "FAIL: no locale $locale on this machine (scripts/setup.sh makes it)"
    failed+=("$locale")
    continue
  fi
  "$TOLVANE_WINESERVER" -k 2>/dev/null
  "$TOLVANE_WINESERVER" -w 2>/dev/null
  # Wine's background processes would hold ctest's output pipe: output to a
  # file, printed afterwards.
  out=$(mktemp)
  LC_ALL=$locale LANG=$locale TOLVANE_CODE_PAGE=$codepage \
    timeout --kill-after=5 90 "$TOLVANE_WINE" "$exe" </dev/null >"$out" 2>&1
  rc=$?
  cat "$out"
  rm -f "$out"
  [ "$rc" -eq 0 ] || failed+=("$locale (exit $rc)")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED under: ${failed[*]}"
  exit 1
fi
echo "passed under every code page"
