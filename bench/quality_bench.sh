#!/usr/bin/env bash
# What --target-psnr and --optimize save against a fixed JPEG quality at the
# same lowest PSNR, on the benchmark's 11 photographs and on software
# pictures (screens, icons, gradients), and what they cost in time and
# memory on the benchmark's batch. Prints markdown tables.
# Usage: bench/quality_bench.sh   (needs scripts/setup.sh once)
# QUALITY_BENCH_BUILD=DIR builds into DIR/pack and DIR/bench, not build/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
began=$(date +%s)
builds=${QUALITY_BENCH_BUILD:-$root/build}
# One command a line: set -e overlooks a failure inside "{ a && b; }".
cmake --preset pack -B "$builds/pack" >/dev/null
cmake --build "$builds/pack" -j2 --target tolvpack >/dev/null
cmake --preset bench -B "$builds/bench" >/dev/null  # photos.sh makes two photographs with tolvane_bench
cmake --build "$builds/bench" -j2 --target tolvane_bench >/dev/null
tolvpack=$builds/pack/tolvpack/tolvpack
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-quality-bench.XXXXXX")
xvfb=; trap '[ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work"/{jpg,photos,soft,batch,out,root/build}
ln -s "$builds/bench" "$work/root/build/bench"  # where photos.sh looks for tolvane_bench
. bench/photos.sh
TOLVANE_BENCH_ROOT=$work/root make_bench_photos "$work/jpg" "$work/photos"
# Software pictures, 24-bit BMP whatever their colours.
soft() { local name=$1; shift; convert "$@" -alpha off -type TrueColor "BMP3:$work/soft/$name.bmp"; }
soft gradient-1280x800 -size 1280x800 gradient:'#1d3557-#f1faee'
soft radial-800x600 -size 800x600 radial-gradient:'#ffd166-#073b4c'
rows=()
for i in $(seq 0 22); do
  rows+=(-fill black -annotate "+280+$((96 + i * 30))" "$(printf 'Photo_%02d.jpg      Photo_%02d.bmp      %6d bytes      ok' \
    "$i" "$i" $((40000 + i * 1237)))" -fill '#333333' -annotate "+16+$((76 + i * 30))" "Folder $((i + 1))"); done
soft screen-1280x800 -size 1280x800 xc:'#f3f3f3' -font DejaVu-Sans -pointsize 15 \
  -fill '#2b579a' -draw 'rectangle 0,0 1279,39' -fill '#e1e1e1' -draw 'rectangle 0,40 239,799' \
  -fill white -draw 'rectangle 260,60 1259,779' -fill '#cce4f7' -draw 'rectangle 261,171 1258,196' \
  -fill white -annotate +12+26 'Tolvane - pictures (33 entries)' "${rows[@]}"
soft terminal-1000x700 -size 1000x700 xc:black -fill '#c0c0c0' -font DejaVu-Sans-Mono -pointsize 14 \
  -annotate +8+18 "$(for c in pack check; do echo "$ tolvpack $c --help"; "$tolvpack" $c --help; done)"
soft icon-64 -size 64x64 xc:white -fill '#e63946' -draw 'circle 32,32 32,5' \
  -fill white -draw 'rectangle 28,15 36,40' -draw 'rectangle 28,45 36,52'
soft icon-32 -size 32x32 xc:'#f1faee' -fill '#457b9d' -draw 'roundrectangle 2,2 29,29 5,5' \
  -fill white -font DejaVu-Sans-Bold -pointsize 20 -gravity center -annotate +0+0 T
soft folder-32 -size 32x32 xc:white -fill '#f4a261' -draw 'rectangle 2,6 14,10' \
  -draw 'rectangle 2,9 29,27' -fill '#e9c46a' -draw 'rectangle 2,13 29,27'
# A real window: Tk widgets under Xvfb, captured by the window itself once drawn.
if command -v Xvfb >/dev/null && command -v wish >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null & xvfb=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  cat >"$work/window.tcl" <<'TCL'
wm geometry . 1024x768+0+0; frame .bar -background "#dcdcdc"; pack .bar -fill x
foreach b {Open Add Remove Pack Check} { button .bar.b$b -text $b; pack .bar.b$b -side left -padx 2 -pady 2 }
listbox .list -width 36 -selectbackground "#3875d7" -selectforeground white; pack .list -side left -fill y
for {set i 1} {$i <= 40} {incr i} { .list insert end [format "Photo_%02d.jpg  ->  Photo_%02d.bmp" $i $i] }
.list selection set 4; text .text -wrap word; pack .text -side right -fill both -expand 1
.text insert end [read [open [lindex $argv 1]]]
update; after 500 { exec import -window root [lindex $argv 0]; exit }
TCL
  DISPLAY=:$(cat "$work/display") timeout 30 wish "$work/window.tcl" "$work/window.png" bench/pack_bench.sh
  kill "$xvfb"; xvfb=; soft window-1024x768 "$work/window.png"
fi
# run NAME SET OPTIONS...: pack SET into out/NAME and check it; prints "bytes
# lowest-PSNR qualities exit-code".
run() {
  local out=$work/out/$1 set=$work/$2 rc=0; shift 2
  "$tolvpack" pack --json -o "$out" "$@" "$set" >"$out.pack" || rc=$?
  "$tolvpack" check --json --bmp-from "$set" "$out" >"$out.check" 2>/dev/null || true
  jq -rs --arg rc "$rc" '[.[0].totals.jpeg_bytes, ([.[1].entries[].psnr_db | numbers] | min),
    ([.[0].entries[].quality] | "\(min)..\(max)"), $rc] | @tsv' "$out.pack" "$out.check"
}
row() {  # row LABEL BYTES PSNR SAVED QUALITIES EXIT
  printf '| %s%s | %.1f | %.2f | %s | %s |\n' "$1" "$([ "$6" = 0 ] || echo " (exit $6)")" \
    "$(echo "$2 / 1024" | bc -l)" "$3" "$4" "$5"
}
table() {  # table SET TITLE
  local set=$1 q fixed low opts bytes psnr quals rc notes=()
  printf '\n%s: %s pictures, %s KB of BMP\n\n' "$2" "$(ls "$work/$set" | wc -l)" \
    "$(du -k --apparent-size -c "$work/$set"/*.bmp | tail -1 | cut -f1)"
  printf '%s\n' '| | total JPEG KB | lowest PSNR dB | saved vs the fixed quality | qualities |' '|---|---:|---:|---:|---|'
  for q in 100 95 90 85 75; do
    read -r fixed low quals rc < <(run "$set-q$q" "$set" -q "$q")
    [ "$set" = photos ] && [ "$q" = 90 ] && q90_low=$low
    row "quality $q" "$fixed" "$low" - "$quals" "$rc"
    for opts in "--target-psnr $low" "--target-psnr $low --optimize" "-q $q --optimize"; do
      # shellcheck disable=SC2086  # the options are words
      read -r bytes psnr quals rc < <(run "$set${opts//[ .]/_}" "$set" $opts)
      row "${opts/-q /quality }" "$bytes" "$psnr" "$(printf '%.1f %%' "$(echo "100 * ($fixed - $bytes) / $fixed" | bc -l)")" "$quals" "$rc"
    done
    # Which picture sets the lowest PSNR, which --target-psnr makes larger or fails on.
    notes+=("$(jq -rs --arg q "$q" --arg low "$low" '(.[1].entries | map(select(.psnr_db)) | min_by(.psnr_db)) as $w
      | "quality \($q): lowest \($w.jpeg)" + ([.[0].entries, .[2].entries] | transpose | map(select(.[1].jpeg_bytes > .[0].jpeg_bytes)
      | "; larger under --target-psnr \($low): \(.[0].jpeg), \(.[0].jpeg_bytes) B -> \(.[1].jpeg_bytes) B at quality \(.[1].quality)") | join(""))
      + if .[2].passed then "" else "; --target-psnr \($low) fails the pack: " + (.[2].entries | map(select(.quality == 100
      and .psnr_db <= ($low | tonumber)) | "\(.jpeg) short even at quality 100 (PSNR shown as \(.psnr_db))") | join(", ")) end' \
      "$work/out/$set-q$q.pack" "$work/out/$set-q$q.check" "$work/out/$set--target-psnr_${low//./_}.pack")")
  done
  echo; printf -- '- %s\n' "${notes[@]}"
}
table photos "The benchmark's photographs"
table soft "Software pictures ($(ls "$work/soft" | sed 's/\.bmp$//' | paste -sd ' '))"
# Speed and peak memory on the batch: the photographs three times over.
for copy in 1 2 3; do
  for b in "$work"/photos/*.bmp; do cp "$b" "$work/batch/$(basename "$b" .bmp)_$copy.bmp"; done
done
megapixels=$(for b in "$work"/batch/*.bmp; do identify -format '%w %h\n' "$b"; done |
  awk '{ s += $1 * $2 } END { printf "%.1f", s / 1e6 }')
timed() {  # timed ARGS...: "wall-seconds peak-KiB" of one pack of the batch into a fresh folder
  rm -rf "$work/speed"; sync; local start end; start=$(date +%s.%N)
  /usr/bin/time -f %M -o "$work/rss" "$tolvpack" pack -o "$work/speed" "$@" "$work/batch" >/dev/null || [ $? = 1 ]
  end=$(date +%s.%N)
  [ "$(ls "$work"/speed/*.jpg | wc -l)" = 33 ] || { echo "quality_bench: JPEGs left out" >&2; exit 1; }
  echo "$(echo "$end - $start" | bc) $(cat "$work/rss")"
}
printf '\n`tolvpack pack` on the batch: 33 BMP files, %s megapixels, %s cores; best of 3 after a warm-up\n\n' "$megapixels" "$(nproc)"
printf '%s\n' '| options | wall seconds | megapixels per second | peak RSS MiB | load average before |' '|---|---:|---:|---:|---|'
for opts in "-q 90" "-q 90 --optimize" "--target-psnr $q90_low" "--target-psnr $q90_low --optimize"; do
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  # shellcheck disable=SC2086
  runs=$(for _ in 0 1 2 3; do timed $opts; done | tail -3)
  best=$(echo "$runs" | cut -d' ' -f1 | sort -n | head -1)
  printf '| `%s` | %.2f | %.1f | %.1f | %s |\n' "$opts" "$best" "$(echo "$megapixels / $best" | bc -l)" \
    "$(echo "$(echo "$runs" | cut -d' ' -f2 | sort -n | tail -1) / 1024" | bc -l)" "$load"
done
printf '\nLoad average after: %s; the whole script took %s s.\n' "$(cut -d' ' -f1-3 /proc/loadavg)" $(($(date +%s) - began))
