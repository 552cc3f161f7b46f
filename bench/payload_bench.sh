#!/usr/bin/env bash
# What an installer carries of a folder of pictures after its LZMA: all
# BMPs, all JPEGs (--all-jpeg), and tolvpack's choice per picture (also with
# --chroma auto, and with --target-psnr 38 --optimize). One table per set:
# software pictures (bench/software_pictures.sh), the benchmark's
# photographs, and the same photographs scaled to 40 % (a scaled photograph
# is not a re-encode on its own 8x8 grid, as a decoded JPEG is). tolvpack's
# own figures stand beside `tar c | xz -9e --format=lzma` of each output
# folder, which agrees with makensis's /SOLID lzma within a few per cent.
# Then the example NSIS installer built from the software set, packed, all
# JPEGs and all BMPs.
# Usage: bench/payload_bench.sh [QUALITY]   (default 92; needs scripts/setup.sh once)
# PAYLOAD_BENCH_BUILD=DIR builds into DIR/pack, DIR/bench and DIR/windows, not build/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
quality=${1:-92}
case $quality in ''|*[!0-9]*) echo "usage: $0 [QUALITY 1..100]" >&2; exit 2 ;; esac
[ "$quality" -ge 1 ] && [ "$quality" -le 100 ] || { echo "usage: $0 [QUALITY 1..100]" >&2; exit 2; }
builds=${PAYLOAD_BENCH_BUILD:-$root/build}
. scripts/env.sh

# One command a line: set -e overlooks a failure inside "{ a && b; }".
cmake --preset pack -B "$builds/pack" >/dev/null
cmake --build "$builds/pack" -j2 --target tolvpack >/dev/null
cmake --preset bench -B "$builds/bench" >/dev/null  # photos.sh makes two photographs with tolvane_bench
cmake --build "$builds/bench" -j2 --target tolvane_bench >/dev/null
cmake --preset windows -B "$builds/windows" >/dev/null
cmake --build "$builds/windows" -j2 --target tolvinst >/dev/null
tolvpack=$builds/pack/tolvpack/tolvpack

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-payload-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{jpg,photos,photos40,soft,out,nsis,root/build}

# The restorer as a release ships it: stripped.
restorer=$work/tolvinst.exe
cp "$builds/windows/restorer/tolvinst.exe" "$restorer"
x86_64-w64-mingw32-strip "$restorer"
xz_bytes() { xz -9e --format=lzma -c "$1" | wc -c; }
restorer_xz=$(xz_bytes "$restorer")

ln -s "$builds/bench" "$work/root/build/bench"  # where photos.sh looks for tolvane_bench
. bench/photos.sh
TOLVANE_BENCH_ROOT=$work/root make_bench_photos "$work/jpg" "$work/photos"
for b in "$work"/photos/*.bmp; do convert "$b" -resize 40% "BMP3:$work/photos40/$(basename "$b")"; done
. bench/software_pictures.sh
make_software_pictures "$work/soft"

# Payload of a folder as an installer's solid archive carries it.
tar_xz() { tar c --sort=name -C "$1" . | xz -9e --format=lzma | wc -c; }

# pack NAME SET OPTIONS...: packs SET into out/NAME (JSON in out/NAME.json);
# prints "wall-seconds exit-code".
pack() {
  local out=$work/out/$1 set=$work/$2 rc=0 start end; shift 2
  sync
  start=$(date +%s.%N)
  "$tolvpack" pack --json --restorer "$restorer" -o "$out" "$@" "$set" >"$out.json" 2>"$out.err" || rc=$?
  end=$(date +%s.%N)
  # 1 is a picture short of --target-psnr, shown in the table; 2 is trouble.
  [ "$rc" -le 1 ] || { cat "$out.err" >&2; echo "payload_bench: tolvpack pack $* $set: exit $rc" >&2; exit 1; }
  printf '%.2f %s\n' "$(echo "$end - $start" | bc)" "$rc"
}

table() {  # table SET TITLE
  local set=$1 bmp_kb count bmp_xz name label opts seconds rc out xz saved_xz restorer_row notes=()
  count=$(ls "$work/$set"/*.bmp | wc -l)
  bmp_kb=$(du -k --apparent-size -c "$work/$set"/*.bmp | tail -1 | cut -f1)
  bmp_xz=$(tar_xz "$work/$set")
  printf '\n%s: %s pictures, %s KB of BMP; quality %s; payload in bytes after LZMA\n\n' "$2" "$count" "$bmp_kb" "$quality"
  printf '%s\n' '| payload | JPEGs | BMPs kept | tolvpack: as BMPs only | tolvpack: payload | tolvpack: restorer | tolvpack: saved | tar \| xz: payload | tar \| xz: restorer | tar \| xz: saved | pack s |' \
    '|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|'
  printf '| all BMPs | 0 | %s | | | | | %s | | | |\n' "$count" "$bmp_xz"
  for name in alljpeg packed chroma target; do
    case $name in
      alljpeg) label="all JPEGs, quality $quality (\`--all-jpeg\`)"; opts=(-q "$quality" --all-jpeg) ;;
      packed) label="packed, quality $quality"; opts=(-q "$quality") ;;
      chroma) label="packed, quality $quality \`--chroma auto\`"; opts=(-q "$quality" --chroma auto) ;;
      target) label="packed, \`--target-psnr 38 --optimize\`"; opts=(--target-psnr 38 --optimize) ;;
    esac
    pack "$set-$name" "$set" "${opts[@]}" >"$work/pack.txt"
    read -r seconds rc <"$work/pack.txt"
    out=$work/out/$set-$name
    xz=$(tar_xz "$out")
    # No list, no restorer in the installer.
    if [ -f "$out/tvfile.txt" ]; then restorer_row=$restorer_xz; else restorer_row=0; fi
    saved_xz=$((bmp_xz - xz - restorer_row))
    jq -r --arg what "$label$([ "$rc" = 0 ] || echo " (exit $rc)")" --arg xz "$xz" --arg rxz "$restorer_row" \
      --arg sxz "$saved_xz" --arg sec "$seconds" '.totals as $t
      | def est: if $t.payload_bmp_only_estimated then "~\(.)" else "\(.)" end;
      "| \($what) | \($t.entries) | \($t.kept_bmps) | \($t.payload_bmp_only | est) | \($t.payload_packed) | \($t.restorer_installer_bytes) | \($t.saved | est) | \($xz) | \($rxz) | \($sxz) | \($sec) |"' \
      "$out.json"
    # Which pictures ship as their BMP, and which BMP figures are extrapolated.
    notes+=("$(jq -r --arg name "$label" '[.entries[] | select(.status == "ok")] as $e
      | "\($name): kept " + ([$e[] | select(.ships == "bmp") | .bmp] | if length == 0 then "none" else join(", ") end)
      + ([$e[] | select(.bmp_installer_bytes_estimated)] | if length == 0 then "" else "; BMP bytes estimated for \(length)" end)' "$out.json")$(
      # What tolvpack named on standard error, without the temporary folder.
      sed "s|$work/out/||; s|^tolvpack: |; tolvpack: |" "$out.err" | tr -d '\n')")
  done
  echo; printf -- '- %s\n' "${notes[@]}"
  # Close calls of the packed run (the two figures within a factor 2),
  # weighed again by xz -9e of each file alone, the JPEG from --all-jpeg.
  local n bmp jpg ships
  while read -r n ships bmp jpg; do
    [ -n "$n" ] || continue
    printf -- '- close call, %s ships as %s: tolvpack %s B as BMP, %s B as JPEG; xz -9e alone: %s B as BMP, %s B as JPEG\n' \
      "$n" "$ships" "$bmp" "$jpg" "$(xz_bytes "$work/$set/$n")" "$(xz_bytes "$work/out/$set-alljpeg/${n%.*}.jpg")"
  done < <(jq -r '.entries[] | select(.status == "ok" and .jpeg_installer_bytes != null and .bmp_installer_bytes != null)
    | select(.bmp_installer_bytes < 2 * .jpeg_installer_bytes and .jpeg_installer_bytes < 2 * .bmp_installer_bytes)
    | "\(.bmp) \(.ships) \(.bmp_installer_bytes) \(.jpeg_installer_bytes)"' "$work/out/$set-packed.json")
}

printf 'tolvinst.exe: %s bytes as built, %s stripped, %s after xz -9e --format=lzma\n' \
  "$(stat -c %s "$builds/windows/restorer/tolvinst.exe")" "$(stat -c %s "$restorer")" "$restorer_xz"
printf 'Machine: %s cores, load average %s\n' "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
table soft "Software pictures ($(ls "$work/soft" | sed 's/\.bmp$//' | paste -sd ' '))"
table photos "The benchmark's photographs"
table photos40 "The benchmark's photographs at 40 %"

# The example installer from the software set: packed, all JPEGs, all BMPs
# (a folder without tvfile.txt: the script then leaves the restorer out), and
# with no pictures at all, which the others are measured against.
script=examples/installer/installer.nsi
mkdir "$work/nsis/empty"
nsis() {  # nsis NAME SCRIPT PICTURES: the installer's bytes
  makensis -V2 -DPICTURES="$3" -DTOLVINST="$restorer" -DOUTFILE="$work/nsis/$1.exe" "$2" >"$work/nsis/$1.log" 2>&1 ||
    { cat "$work/nsis/$1.log" >&2; exit 1; }
  stat -c %s "$work/nsis/$1.exe"
}
empty=$(nsis empty "$script" "$work/nsis/empty")
printf '\nThe example NSIS installer (SetCompressor /SOLID lzma) from the software set, quality %s; without pictures: %s bytes\n\n' \
  "$quality" "$empty"
printf '%s\n' '| installer | bytes | minus the one without pictures | tolvpack: payload + restorer | tar \| xz: payload + restorer |' \
  '|---|---:|---:|---:|---:|'
bytes=$(nsis bmp "$script" "$work/soft")
printf '| all BMPs | %s | %s | %s | %s |\n' "$bytes" $((bytes - empty)) \
  "$(jq .totals.payload_bmp_only "$work/out/soft-packed.json")" "$(tar_xz "$work/soft")"
for name in alljpeg packed; do
  out=$work/out/soft-$name
  bytes=$(nsis "$name" "$script" "$out")
  if [ -f "$out/tvfile.txt" ]; then r=$restorer_xz; else r=0; fi
  printf '| %s | %s | %s | %s | %s |\n' "$([ "$name" = packed ] && echo packed || echo 'all JPEGs')" "$bytes" $((bytes - empty)) \
    "$(jq '.totals.payload_packed + .totals.restorer_installer_bytes' "$out.json")" $(($(tar_xz "$out") + r))
done
printf '\nLoad average after: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
