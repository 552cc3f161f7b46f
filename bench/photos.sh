# The benchmark's pictures, shared by bench/run.sh and the installer size
# measurement; sourced, not run. make_bench_photos JPGDIR BMPDIR copies nine
# photographs from Debian's MATE backgrounds, adds the two generated
# pictures, and decodes every JPEG into BMPDIR with djpeg.
make_bench_photos() {
  local jpg=$1 bmp=$2 photos=/usr/share/backgrounds/mate f j
  for f in abstract/Elephants_3840x2160 abstract/Elephants nature/Blinds nature/Dune nature/Garden \
           nature/RainDrops nature/Storm nature/TwoWings nature/Wood; do
    cp "$photos/$f.jpg" "$jpg/"
  done
  "$TOLVANE_BENCH_ROOT/build/bench/bench/tolvane_bench" make-synthetic "$jpg"
  for j in "$jpg"/*.jpg; do
    djpeg -bmp -outfile "$bmp/$(basename "$j" .jpg).bmp" "$j"
  done
}
TOLVANE_BENCH_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
