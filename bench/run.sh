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
# One photograph of more than 20 megapixels: the largest MATE background
# (5640x3172) scaled up to 6016x3384 by Pillow, saved as a camera would.
big=Elephants_6016x3384
/usr/bin/python3 -c 'import sys; from PIL import Image
Image.open(sys.argv[1]).resize((6016, 3384), Image.LANCZOS).save(sys.argv[2], quality=92)' \
  /usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg "$work/jpg/$big.jpg"
djpeg -bmp -outfile "$work/bmp/$big.bmp" "$work/jpg/$big.jpg"

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $(date -u '+%Y-%m-%d')"
# Debian's Pillow: the python3 first on PATH may be another interpreter.
BENCH_PYTHON=/usr/bin/python3 "$bench" run "$work" "$reps"
mkdir "$work/claims"
echo
"$bench" claims "$work/claims" "$reps"

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

# Baseline JPEGs stream whatever their size: six copies of the 20-megapixel
# photograph on every processor, peak memory per worker.
base="$work/baseline"
mkdir -p "$base/jpg" "$base/out"
for copy in 1 2 3 4 5 6; do cp "$work/jpg/$big.jpg" "$base/jpg/${big}_$copy.jpg"; done
printf '\nSix copies of the %s photograph (baseline) on %s workers, peak memory per worker:\n' "$big" "$(nproc)"
for d in jpg2bmp jpg2jpg; do
  read -r sec start peak < <(build/bench/bench/tolvane_batch_bench ours "$d" 0 "$base" "$base/out")
  printf '  %-46s %8.1f MiB (goal <= 16 MiB)\n' "$d" "$(echo "($peak - $start) / 1024 / $(nproc)" | bc -l)"
done

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
    LD_PRELOAD=${3:-} "$TOLVANE_WINE" "$1" "Z:${inst//\//\\}\\" </dev/null >/dev/null 2>&1
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

  # What writing every BMP through to the disk before any JPEG is deleted
  # costs: the same runs with fsync made a no-op under Wine.
  nosync="$work/nosync.so"
  printf 'int fsync(int f){(void)f;return 0;}\nint fdatasync(int f){(void)f;return 0;}\n' >"$work/nosync.c"
  cc -shared -fPIC -O2 "$work/nosync.c" -o "$nosync"
  n_one=$(for r in $(seq "$reps"); do restore "$one" 100 "$nosync"; done | best)
  n_all=$(for r in $(seq "$reps"); do restore "$all" 100 "$nosync"; done | best)
  printf '  %-46s %8.2f s (flush costs %+.0f %%)\n' "one worker, BMPs not flushed" "$n_one" \
    "$(echo "($t_one / $n_one - 1) * 100" | bc -l)" "all workers, BMPs not flushed" "$n_all" \
    "$(echo "($t_all / $n_all - 1) * 100" | bc -l)"

  # Two small files claiming huge pictures: the restorer refuses both and
  # keeps them. Wall seconds and peak RSS of the Wine process.
  claimed() {
    rm -rf "$inst"; mkdir "$inst"
    cp "$work/claims/claim-progressive-2.jpg" "$inst/a.jpg"
    cp "$work/claims/claim-scans.jpg" "$inst/b.jpg"
    printf '2\r\na.jpg\r\na.bmp\r\nb.jpg\r\nb.bmp\r\n' >"$inst/tvfile.txt"
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$TOLVANE_WINE" "$all" "Z:${inst//\//\\}\\" </dev/null >/dev/null 2>&1
    [ -f "$inst/a.jpg" ] && [ ! -f "$inst/a.bmp" ] || { echo "restorer accepted a claimed picture" >&2; exit 1; }
    # The restorer exits with 1 (not every picture restored), which time
    # reports on a line of its own.
    tail -1 "$work/time.txt"
  }
  runs=$(for r in $(seq "$reps"); do claimed; done)
  printf '\nRestorer given two small files claiming 26000x27000 pictures, %s runs:\n' "$reps"
  printf '  %-46s %8.2f s   (goal <= 3 s)\n' "wall time, best" "$(echo "$runs" | awk '{print $1}' | sort -n | head -1)"
  printf '  %-46s %8.1f MiB (goal <= 96 MiB)\n' "peak RSS of tolvinst.exe under Wine, highest" \
    "$(echo "$(echo "$runs" | awk '{print $2}' | sort -n | tail -1) / 1024" | bc -l)"
fi

# ---- tolvpack pack against a cjpeg loop and Pillow with a process pool.
bench/pack_bench.sh "$reps"
