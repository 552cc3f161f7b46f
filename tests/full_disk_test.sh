#!/usr/bin/env bash
# Runs the full-volume test: mounts a small tmpfs, maps it as drive T: of the
# Wine prefix and runs the test program with it. Mounting needs root (CI runs
# as root); elsewhere the test says it was skipped, and fails under CI=true.
# Usage: full_disk_test.sh FULL_DISK_TESTS_EXE
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../scripts/env.sh"
use_test_prefix
volume=$(mktemp -d)
if ! mount -t tmpfs -o size=3m tolvane-small "$volume" 2>/dev/null; then
  rmdir "$volume"
  if [ "${CI:-}" = true ]; then echo "FAIL: cannot mount a tmpfs for the full-volume test" >&2; exit 1; fi
  echo "SKIPPED: the full-volume test needs to mount a tmpfs (root); it did not run"
  exit 0
fi
drive="$WINEPREFIX/dosdevices/t:"
cleanup() { rm -f "$drive"; umount "$volume" && rmdir "$volume"; }
trap cleanup EXIT
ln -sfn "$volume" "$drive"
TOLVANE_SMALL_DRIVE=T: "$TOLVANE_ROOT/cmake/wine-run.sh" "$1"
