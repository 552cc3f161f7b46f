#!/usr/bin/env bash
# tolvpack pack on the benchmark's batch (its 11 photographs three times
# over, as BMP files) against what a build script would use instead: a
# cjpeg loop under xargs -P with one process per core, and Pillow with a
# process pool; every one at the workbench's settings (quality 100,
# baseline, 4:2:0). Then what `tolvpack check` says of those photographs
# at qualities 100, 90, 85 and 75.
# Usage: bench/pack_bench.sh [repetitions]   (needs scripts/setup.sh once)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
reps=${1:-5}
cores=$(nproc)

# One command a line: set -e does not stop at a failure inside "a && b".
cmake --preset pack >/dev/null
cmake --build --preset pack -j2 >/dev/null
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target tolvane_bench >/dev/null
tolvpack=build/pack/tolvpack/tolvpack

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-pack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/jpg" "$work/bmp" "$work/batch"
. bench/photos.sh
make_bench_photos "$work/jpg" "$work/bmp"
for copy in 1 2 3; do
  for b in "$work"/bmp/*.bmp; do cp "$b" "$work/batch/$(basename "$b" .bmp)_$copy.bmp"; done
done
files=$(ls "$work"/batch/*.bmp | wc -l)
megapixels=$(for b in "$work"/batch/*.bmp; do identify -format '%w %h\n' "$b"; done |
  awk '{ s += $1 * $2 } END { printf "%.1f", s / 1e6 }')

# seconds COMMAND...: wall seconds of one run into a fresh $work/out.
seconds() {
  rm -rf "$work/out"; mkdir "$work/out"; sync
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  [ "$(ls "$work"/out/*.jpg | wc -l)" = "$files" ] || { echo "pack_bench: $1 left JPEGs out" >&2; exit 1; }
  echo "$end - $start" | bc
}
best() { sort -n | head -1; }

pack() { "$tolvpack" pack --out "$work/out" "$work/batch"; }
cjpeg_loop() {
  for b in "$work"/batch/*.bmp; do printf -- '-outfile\n%s\n%s\n' "$work/out/$(basename "$b" .bmp).jpg" "$b"; done |
    xargs -d '\n' -P "$cores" -n 3 cjpeg -quality 100
}
pillow_pool() {
  /usr/bin/python3 - "$work/batch" "$work/out" "$cores" <<'PY'
import os, sys
from concurrent.futures import ProcessPoolExecutor
from PIL import Image

def convert(names):
    source, target = names
    with Image.open(source) as image:
        image.save(target, "JPEG", quality=100)  # 4:2:0, baseline: Pillow's default

source, out, cores = sys.argv[1], sys.argv[2], int(sys.argv[3])
jobs = [(os.path.join(source, n), os.path.join(out, n[:-3] + "jpg")) for n in sorted(os.listdir(source))]
with ProcessPoolExecutor(cores) as pool:
    list(pool.map(convert, jobs))
PY
}

seconds pack >/dev/null  # warm-up: the files in the page cache
t_pack=$(for r in $(seq "$reps"); do seconds pack; done | best)
t_cjpeg=$(for r in $(seq "$reps"); do seconds cjpeg_loop; done | best)
t_pillow=$(for r in $(seq "$reps"); do seconds pillow_pool; done | best)
fastest=$(printf '%s\n' "$t_cjpeg" "$t_pillow" | best)

printf '\ntolvpack pack on %s BMP files (%s megapixels), %s cores, best of %s, wall seconds:\n' \
  "$files" "$megapixels" "$cores" "$reps"
row() { printf '  %-44s %7.2f s %7.1f MP/s\n' "$1" "$2" "$(echo "$megapixels / $2" | bc -l)"; }
row "tolvpack pack (with tvfile.txt)" "$t_pack"
row "cjpeg -quality 100, xargs -P $cores" "$t_cjpeg"
row "Pillow, process pool of $cores" "$t_pillow"
printf '  %-44s %7.2fx (goal: at least 1.10x)\n' "tolvpack against the fastest peer" \
  "$(echo "$fastest / $t_pack" | bc -l)"

printf '\ntolvpack check on the %s photographs, restored pictures against the BMPs:\n' \
  "$(ls "$work"/bmp/*.bmp | wc -l)"
printf '  %-8s %-26s %10s %10s %7s\n' quality "PSNR lowest .. highest" "BMP" "JPEG" saved
for q in 100 90 85 75; do
  "$tolvpack" pack --quality "$q" --out "$work/q$q" "$work/bmp" >/dev/null
  "$tolvpack" check --bmp-from "$work/bmp" "$work/q$q" >"$work/check.txt"
  low=$(grep -o 'PSNR [0-9.]*' "$work/check.txt" | awk '{ print $2 }' | sort -n | head -1)
  high=$(grep -o 'PSNR [0-9.]*' "$work/check.txt" | awk '{ print $2 }' | sort -n | tail -1)
  bmp_kb=$(du -k --apparent-size -c "$work"/bmp/*.bmp | tail -1 | cut -f1)
  jpg_kb=$(du -k --apparent-size -c "$work/q$q"/*.jpg | tail -1 | cut -f1)
  printf '  %-8s %-26s %7s KB %7s KB %6.1f %%\n' "$q" "$low .. $high dB" "$bmp_kb" "$jpg_kb" \
    "$(echo "100 * ($bmp_kb - $jpg_kb) / $bmp_kb" | bc -l)"
done
