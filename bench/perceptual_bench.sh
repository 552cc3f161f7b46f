#!/usr/bin/env bash
# Bytes at equal perceived quality: for each method of choosing JPEG
# quality, the fewest bytes whose worst picture (the lowest SSIMULACRA2 of
# any picture in the set, as `tolvpack check` scores it) reaches 70 and 80,
# with jpegli and with libjpeg-turbo, every BMP as a JPEG (--all-jpeg).
#   fixed quality            the lowest -q (bisection over 1..100) whose worst case reaches the score
#   fixed quality --optimize the same search with optimised Huffman tables
#   --target-psnr            the lowest target (bisection over 20..50 dB in 0.25 dB steps) whose
#                            worst case reaches the score
#   --target-quality S       S itself, one pack; the worst case is checked, not assumed
#   --target-quality S --optimize
# each with --chroma 420 (the default) and --chroma auto. Two sets: the
# benchmark's photographs scaled to 40 % (not re-encodes on their own 8x8
# grid, as the decoded JPEGs are) and the software pictures
# (bench/software_pictures.sh) without the 32-bit icon whose alpha keeps it
# a BMP. Bytes are also given against fixed quality with libjpeg-turbo at
# 4:2:0 (at --chroma auto where 4:2:0 never reaches the score), with the
# payload after LZMA from pack's report and the pack's wall seconds per
# megapixel (-j 2, one run, the load average beside it).
# Usage: bench/perceptual_bench.sh   (needs scripts/setup.sh once)
# PERCEPTUAL_BENCH_BUILD=DIR builds into DIR/pack and DIR/bench, not build/.
# PERCEPTUAL_BENCH_SETS="photos40 soft", PERCEPTUAL_BENCH_CHROMAS="420 auto"
# and PERCEPTUAL_BENCH_SCORES="70 80" measure less; PERCEPTUAL_BENCH_JOBS=2.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
began=$(date +%s)
builds=${PERCEPTUAL_BENCH_BUILD:-$root/build}
sets=${PERCEPTUAL_BENCH_SETS:-photos40 soft}
chromas=${PERCEPTUAL_BENCH_CHROMAS:-420 auto}
scores=${PERCEPTUAL_BENCH_SCORES:-70 80}
jobs=${PERCEPTUAL_BENCH_JOBS:-2}
encoders="libjpeg-turbo jpegli"
methods="fixed fixed-opt psnr quality quality-opt"
. scripts/env.sh

# One command a line: set -e overlooks a failure inside "{ a && b; }".
cmake --preset pack -B "$builds/pack" >/dev/null
cmake --build "$builds/pack" -j2 --target tolvpack >/dev/null
cmake --preset bench -B "$builds/bench" >/dev/null  # photos.sh makes two photographs with tolvane_bench
cmake --build "$builds/bench" -j2 --target tolvane_bench >/dev/null
tolvpack=$builds/pack/tolvpack/tolvpack

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-perceptual-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/{jpg,photos,photos40,soft,out,root/build}
ln -s "$builds/bench" "$work/root/build/bench"  # where photos.sh looks for tolvane_bench
. bench/photos.sh
TOLVANE_BENCH_ROOT=$work/root make_bench_photos "$work/jpg" "$work/photos"
for b in "$work"/photos/*.bmp; do convert "$b" -resize 40% "BMP3:$work/photos40/$(basename "$b")"; done
. bench/software_pictures.sh
make_software_pictures "$work/soft"
rm "$work/soft/icon-48-alpha.bmp"  # alpha in use: never a JPEG

megapixels() { for b in "$work/$1"/*.bmp; do identify -format '%w %h\n' "$b"; done | awk '{ s += $1 * $2 } END { printf "%.3f", s / 1e6 }'; }
declare -A mp title
title[photos40]="The benchmark's photographs scaled to 40 %"
title[soft]="Software pictures without the alpha icon"

# probe SET OPTIONS...: packs SET with OPTIONS (every BMP a JPEG) and checks
# it, once per SET and OPTIONS; sets p_bytes p_payload p_ss p_psnr p_secs
# p_load p_rc p_quals p_worst p_n (p_n names out/N.pack and out/N.check).
declare -A seen
packs=0
probe() {
  local set=$1; shift
  local key="$set $*"
  if [ -z "${seen[$key]:-}" ]; then
    packs=$((packs + 1))
    local out=$work/out/$packs rc=0 start end load count
    count=$(ls "$work/$set"/*.bmp | wc -l)
    load=$(cut -d' ' -f1 /proc/loadavg)
    sync
    start=$(date +%s.%N)
    "$tolvpack" pack --all-jpeg --json -j "$jobs" -o "$out" "$@" "$work/$set" >"$out.pack" 2>"$out.err" || rc=$?
    end=$(date +%s.%N)
    # 1 is a picture short of a target, shown in the table; 2 is trouble.
    [ "$rc" -le 1 ] || { cat "$out.err" >&2; echo "perceptual_bench: tolvpack pack $* $set: exit $rc" >&2; exit 1; }
    "$tolvpack" check --json --bmp-from "$work/$set" "$out" >"$out.check" 2>/dev/null || true
    seen[$key]=$(jq -rs --arg secs "$(echo "$end - $start" | bc)" --arg load "$load" --arg rc "$rc" \
      --arg n "$packs" --argjson count "$count" '
      if .[0].totals.kept_bmps != 0 or .[1].totals.compared != $count then
        error("not every picture a compared JPEG") else . end
      | (.[1].entries | min_by(.ssimulacra2)) as $w
      | [.[0].totals.jpeg_bytes, .[0].totals.payload_packed, .[1].totals.lowest_ssimulacra2,
         .[1].totals.lowest_psnr_db, $secs, $load, $rc,
         ([.[0].entries[].quality] | if min == max then "\(min)" else "\(min)..\(max)" end),
         ($w.jpeg | sub("\\.jpg$"; "")), $n] | @tsv' "$out.pack" "$out.check")
    rm -rf "$out"
  fi
  IFS=$'\t' read -r p_bytes p_payload p_ss p_psnr p_secs p_load p_rc p_quals p_worst p_n <<<"${seen[$key]}"
}
reaches() { awk -v s="$p_ss" -v t="$1" 'BEGIN { exit !(s >= t) }'; }
setting() {  # setting KIND INDEX: the options of step INDEX
  case $1 in
    q) echo "-q $2" ;;
    psnr) echo "--target-psnr $(awk -v i="$2" 'BEGIN { printf "%.2f", 20 + i / 4 }')" ;;
  esac
}
# bisect KIND LOW HIGH SET SCORE OPTIONS...: the lowest step from LOW to HIGH
# whose worst case reaches SCORE, in found (empty if HIGH does not), its
# figures in p_* and the worst case one step lower in below; steps counts
# the packs of the search. Assumes the worst case does not fall as the step
# rises; the step below the one found is always among those measured.
bisect() {
  local kind=$1 first=$2 low=$(($2 - 1)) high=$3 set=$4 score=$5 mid
  shift 5
  steps=1 below=-
  # shellcheck disable=SC2046  # the setting is words
  probe "$set" $(setting "$kind" "$high") "$@"
  if ! reaches "$score"; then found=; return; fi
  while [ $((high - low)) -gt 1 ]; do
    mid=$(((low + high) / 2))
    steps=$((steps + 1))
    # shellcheck disable=SC2046
    probe "$set" $(setting "$kind" "$mid") "$@"
    if reaches "$score"; then high=$mid; else low=$mid; fi
  done
  found=$high
  if [ "$high" -gt "$first" ]; then
    # shellcheck disable=SC2046
    probe "$set" $(setting "$kind" $((high - 1))) "$@"
    below="$p_ss $p_worst"
  fi
  # shellcheck disable=SC2046
  probe "$set" $(setting "$kind" "$high") "$@"
}

# measure SET SCORE CHROMA METHOD ENCODER: one row's figures into row[...].
declare -A row
measure() {
  local set=$1 score=$2 chroma=$3 method=$4 enc=$5 label
  local opts=(--encoder "$enc" --chroma "$chroma")
  case $method in
    fixed) bisect q 1 100 "$set" "$score" "${opts[@]}"; label=${found:+quality $found} ;;
    fixed-opt) bisect q 1 100 "$set" "$score" "${opts[@]}" --optimize; label=${found:+quality $found} ;;
    psnr) bisect psnr 0 120 "$set" "$score" "${opts[@]}"
      label=${found:+$(setting psnr "$found" | cut -d' ' -f2) dB (q $p_quals)} ;;
    quality|quality-opt) steps=1 below=-
      [ "$method" = quality ] || opts+=(--optimize)
      probe "$set" --target-quality "$score" "${opts[@]}"
      found=$score
      reaches "$score" || found=
      label="S $score (q $p_quals)" ;;
  esac
  row[$set,$score,$chroma,$method,$enc]="${found:+ok}|${label:-not reached, even at the top (q $p_quals)}|$steps|$p_bytes|$p_payload|$p_ss|$p_psnr|$p_secs|$p_load|$p_rc|$p_worst|$p_n|$below"
}

percent() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.1f %%", 100 * a / b; else printf "-" }'; }
declare -A method_name
method_name[fixed]="fixed quality"
method_name[fixed-opt]="fixed quality \`--optimize\`"
method_name[psnr]="\`--target-psnr\`"
method_name[quality]="\`--target-quality\`"
method_name[quality-opt]="\`--target-quality\` \`--optimize\`"

table() {  # table SET SCORE
  local set=$1 score=$2 chroma method enc base="" base_label ok label steps bytes payload ss psnr secs load rc worst n lower
  for chroma in $chromas; do
    IFS='|' read -r ok _ _ bytes payload _ <<<"${row[$set,$score,$chroma,fixed,libjpeg-turbo]}"
    if [ -n "$ok" ]; then base="$bytes $payload"; base_label="fixed quality, libjpeg-turbo, --chroma $chroma"; break; fi
  done
  [ -n "$base" ] || base_label="none: fixed quality with libjpeg-turbo never reaches $score"
  printf '\n%s, worst case SSIMULACRA2 %s; against: %s\n\n' "${title[$set]}" "$score" "$base_label"
  printf '%s\n' '| method | encoder | chroma | setting | packs | lowest SSIMULACRA2 | at | one step lower | lowest PSNR dB | JPEG bytes | against | payload after LZMA | against | pack s/MP | load |' \
    '|---|---|---|---|---:|---:|---|---|---:|---:|---:|---:|---:|---:|---:|'
  for chroma in $chromas; do
    for method in $methods; do
      for enc in $encoders; do
        IFS='|' read -r ok label steps bytes payload ss psnr secs load rc worst n lower <<<"${row[$set,$score,$chroma,$method,$enc]}"
        printf '| %s | %s | %s | %s%s | %s | %s%s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' \
          "${method_name[$method]}" "$enc" "$chroma" "$label" "$([ "$rc" = 0 ] || echo ", exit $rc")" "$steps" \
          "$ss" "$([ -n "$ok" ] || echo ' (short)')" "$worst" "$lower" "$psnr" "$bytes" \
          "$([ -n "$ok" ] && [ -n "$base" ] && percent "$bytes" "${base% *}" || echo -)" "$payload" \
          "$([ -n "$ok" ] && [ -n "$base" ] && percent "$payload" "${base#* }" || echo -)" \
          "$(awk -v s="$secs" -v m="${mp[$set]}" 'BEGIN { printf "%.2f", s / m }')" "$load"
      done
    done
  done
}

# notes SET SCORE: what the table does not show. Pictures short of the score
# under --target-quality, and where pack's own score for a picture differs
# from check's.
notes() {
  local set=$1 score=$2 chroma method enc ok n
  for chroma in $chromas; do
    for method in quality quality-opt; do for enc in $encoders; do
      IFS='|' read -r ok _ _ _ _ _ _ _ _ _ _ n _ <<<"${row[$set,$score,$chroma,$method,$enc]}"
      jq -rs --arg s "$score" --arg what "--target-quality $score$([ "$method" = quality ] || echo ' --optimize'), $enc, --chroma $chroma" '
        (.[1].entries | map(select(.ssimulacra2 < ($s | tonumber)) | "\(.jpeg) \(.ssimulacra2)") | join(", "))
          as $short
        | (.[1].entries | map({(.jpeg): .ssimulacra2}) | add) as $check
        | (.[0].entries | map(select(.ssimulacra2 != null and ((.ssimulacra2 - $check[.jpeg]) | fabs) > 0.01)
            | "\(.jpeg) \(.ssimulacra2) in pack, \($check[.jpeg]) in check") | join(", ")) as $differ
        | (if $short == "" then empty else "- \($what): short of \($s): \($short)" end),
          (if $differ == "" then empty else "- \($what): scores differ: \($differ)" end)' \
        "$work/out/$n.pack" "$work/out/$n.check"
    done; done
  done
}

printf 'perceptual_bench: %s cores, -j %s; %s\n' "$(nproc)" "$jobs" "$(uptime | sed 's/^ *//')"
for set in $sets; do
  mp[$set]=$(megapixels "$set")
  for score in $scores; do
    for chroma in $chromas; do
      for method in $methods; do
        for enc in $encoders; do
          measure "$set" "$score" "$chroma" "$method" "$enc"
        done
      done
    done
  done
  printf '\n## %s: %s pictures, %s megapixels (%s)\n' "${title[$set]}" "$(ls "$work/$set"/*.bmp | wc -l)" "${mp[$set]}" \
    "$(ls "$work/$set" | sed 's/\.bmp$//' | paste -sd ' ')"
  for score in $scores; do
    table "$set" "$score"
    echo
    notes "$set" "$score"
  done
  printf '\n%s: done after %s s; %s\n' "$set" $(($(date +%s) - began)) "$(uptime | sed 's/^ *//')"
done
printf '\n%s packs in all; the whole script took %s s.\n' "$packs" $(($(date +%s) - began))
