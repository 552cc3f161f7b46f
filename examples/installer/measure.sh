#!/usr/bin/env bash
# What the JPEG payload saves: builds the example installer for the
# benchmark's photographs (bench/run.sh) with JPEGs at the given qualities,
# and the same installer shipping the BMP files instead; prints one table.
# Usage: examples/installer/measure.sh [quality...]   (default: 100 85)
# The JPEGs are made by cjpeg with the workbench's settings (baseline, 4:2:0,
# no optimised tables), which encode like the workbench.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"
if [ $# -gt 0 ]; then qualities=("$@"); else qualities=(100 85); fi

cmake --preset bench >/dev/null
cmake --build --preset bench --target tolvane_bench >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target tolvinst >/dev/null
tolvinst=$root/build/windows/restorer/tolvinst.exe

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-installer.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/photos" "$work/bmp"
# The product's pictures are the BMP files.
. bench/photos.sh
make_bench_photos "$work/photos" "$work/bmp"

size() { stat -c %s "$1"; }
kb() { echo $((($1 + 512) / 1024)); }
payload() { du -cb "$@" | tail -1 | cut -f1; }

# From a folder of BMP files alone the script ships them as they are,
# without tolvinst.
makensis -V1 -DPICTURES="$work/bmp" -DOUTFILE="$work/bmp-installer.exe" "$here/installer.nsi"
bmp_installer=$(size "$work/bmp-installer.exe")
bmp_payload=$(payload "$work"/bmp/*.bmp)
count=$(ls "$work/bmp" | wc -l)

echo "$count pictures, $(kb "$bmp_payload") KB as BMP files"
echo
echo "| payload | pictures | installer | installer saved |"
echo "|---|---:|---:|---:|"
echo "| BMP files | $(kb "$bmp_payload") KB | $(kb "$bmp_installer") KB | |"
for q in "${qualities[@]}"; do
  pics=$work/jpg$q
  mkdir "$pics"
  names=()
  for b in "$work"/bmp/*.bmp; do
    n=$(basename "$b" .bmp)
    cjpeg -quality "$q" -outfile "$pics/$n.jpg" "$b"
    names+=("$n")
  done
  { echo "${#names[@]}"; for n in "${names[@]}"; do echo "$n.jpg"; echo "$n.bmp"; done; } |
    sed 's/$/\r/' >"$pics/tvfile.txt"
  makensis -V1 -DPICTURES="$pics" -DTOLVINST="$tolvinst" -DOUTFILE="$work/jpg$q-installer.exe" \
    "$here/installer.nsi"
  jpg_installer=$(size "$work/jpg$q-installer.exe")
  echo "| JPEG quality $q + tolvinst.exe | $(kb "$(payload "$pics"/*.jpg)") KB | $(kb "$jpg_installer") KB |" \
       "$((100 - 100 * jpg_installer / bmp_installer)) % |"
done
