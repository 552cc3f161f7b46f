#!/usr/bin/env bash
# Builds the bench preset and times our conversions against djpeg/cjpeg,
# Pillow and raw libjpeg-turbo on the same photographs; prints one table.
# Usage: bench/run.sh [repetitions]     (needs scripts/setup.sh once)
# Figures are only meaningful on a quiet machine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
reps=${1:-5}

cmake --preset bench >/dev/null || cmake --preset bench
cmake --build --preset bench -j2
bench=build/bench/bench/tolvane_bench

# Inputs and every contender's outputs share one temp folder on one disk.
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/jpg" "$work/bmp"
. bench/photos.sh
make_bench_photos "$work/jpg" "$work/bmp"

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $(date -u '+%Y-%m-%d')"
# Debian's Pillow: the python3 first on PATH may be another interpreter.
BENCH_PYTHON=/usr/bin/python3 "$bench" run "$work" "$reps"

# ---- Batch: a folder of photographs through the conversion pool, one worker
# against one per processor, beside a djpeg/cjpeg loop and a Pillow loop.
batch="$work/batch"
mkdir -p "$batch/jpg" "$batch/bmp"
for copy in 1 2 3; do
  for j in "$work"/jpg/*.jpg; do
    n=$(basename "$j" .jpg)
    cp "$j" "$batch/jpg/${n}_$copy.jpg"
    cp "$work/bmp/$n.bmp" "$batch/bmp/${n}_$copy.bmp"
  done
done
BENCH_PYTHON=/usr/bin/python3 build/bench/bench/tolvane_batch_bench run "$batch" "$reps"

# ---- The restorer on 100 photographs under Wine: tolvinst.exe as shipped
# (one worker per processor) against the same program held to one worker.
# Skip with BENCH_RESTORER=0.
if [ "${BENCH_RESTORER:-1}" = 1 ]; then
  . scripts/env.sh
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target tolvinst tolvinst_one_worker >/dev/null
  export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 WINEPREFIX="$root/build/wineprefix-bench"
  [ -f "$WINEPREFIX/.tolvane-ready" ] || scripts/wineprefix.sh copy "$WINEPREFIX" >/dev/null
  start_display
  trap 'stop_display; rm -rf "$work"' EXIT
  "$TOLVANE_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  inst="$work/install"
  photos=("$batch"/jpg/*.jpg)
  restore() {  # restore EXE COUNT: seconds for one run on a fresh folder
    rm -rf "$inst"; mkdir "$inst"
    { echo "$2"
      for i in $(seq 0 $(($2 - 1))); do
        cp "${photos[i % ${#photos[@]}]}" "$inst/r$i.jpg"; echo "r$i.jpg"; echo "r$i.bmp"
      done; } | sed 's/$/\r/' >"$inst/tvfile.txt"
    sync
    local start end
    start=$(date +%s.%N)
    "$TOLVANE_WINE" "$1" "Z:${inst//\//\\}\\" </dev/null >/dev/null 2>&1
    end=$(date +%s.%N)
    [ "$(ls "$inst"/*.bmp 2>/dev/null | wc -l)" = "$2" ] || { echo "restorer left BMPs missing" >&2; exit 1; }
    echo "$end - $start" | bc
  }
  best() { sort -n | head -1; }
  one=build/windows/restorer/tolvinst_one_worker.exe all=build/windows/restorer/tolvinst.exe
  t_empty=$(for r in 1 2 3; do restore "$all" 0; done | best)
  t_one=$(for r in $(seq "$reps"); do restore "$one" 100; done | best)
  t_all=$(for r in $(seq "$reps"); do restore "$all" 100; done | best)
  printf '\nRestorer (tolvinst.exe under Wine) on 100 photographs, best of %s, wall seconds:\n' "$reps"
  printf '  %-46s %8.2f s\n' "one worker" "$t_one" "one worker per processor ($(nproc))" "$t_all" \
    "start and exit alone (empty list)" "$t_empty"
  printf '  %-46s %8.2fx\n' "all workers / one worker" "$(echo "$t_one / $t_all" | bc -l)" \
    "the same without start and exit" "$(echo "($t_one - $t_empty) / ($t_all - $t_empty)" | bc -l)"
fi

# ---- tolvpack pack against a cjpeg loop and Pillow with a process pool.
bench/pack_bench.sh "$reps"
