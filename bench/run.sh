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
photos=/usr/share/backgrounds/mate
for f in abstract/Elephants_3840x2160 abstract/Elephants nature/Blinds nature/Dune nature/Garden \
         nature/RainDrops nature/Storm nature/TwoWings nature/Wood; do
  cp "$photos/$f.jpg" "$work/jpg/"
done
"$bench" make-synthetic "$work/jpg"
for j in "$work"/jpg/*.jpg; do
  n=$(basename "$j" .jpg)
  djpeg -bmp -outfile "$work/bmp/$n.bmp" "$j"
done

echo "Machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $(date -u '+%Y-%m-%d')"
# Debian's Pillow: the python3 first on PATH may be another interpreter.
BENCH_PYTHON=/usr/bin/python3 "$bench" run "$work" "$reps"
