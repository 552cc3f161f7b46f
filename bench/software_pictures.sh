#!/usr/bin/env bash
# Pictures of the kind software installers carry, made with ImageMagick:
# wizard images, a licence dialog, screenshots, a chart, toolbar and icons,
# a logo, a splash and a window holding a photograph. Same bytes on every run
# (fixed seeds, no dates). Sourced by the benchmarks, or run:
#   bench/software_pictures.sh DIR
# Most are 24-bit BMPs; icon-48-alpha is 32-bit with alpha in use,
# checkboxes-4bit a 4-bit palette and buttons-rle8 an RLE8 palette BMP.
# Fonts: DejaVu and the IPA fonts (scripts/setup.sh installs them).

# _sp_save NAME ARGS...: a 24-bit BMP whatever its colours (ImageMagick would
# otherwise pick a palette for few colours).
_sp_save() {
  local name=$1; shift
  convert "$@" -alpha off -type TrueColor "BMP3:$_sp_dir/$name.bmp"
}

# _sp_code X Y ADVANCE [COLOUR TEXT]...: appends to _sp_args one line of
# monospaced text in runs of colour, each run placed at its column.
_sp_code() {
  local x=$1 y=$2 adv=$3 col=0; shift 3
  local text lead
  while [ $# -ge 2 ]; do
    # annotate drops leading blanks: move the run right by them instead.
    text=${2#"${2%%[! ]*}"}; lead=$((${#2} - ${#text}))
    # annotate expands %-escapes: double every %.
    [ -z "$text" ] || _sp_args+=(-fill "$1" -annotate "+$(awk -v x="$x" -v c="$((col + lead))" -v a="$adv" \
      'BEGIN { printf "%d", x + c * a + 0.5 }')+$y" "${text//%/%%}")
    col=$((col + ${#2}))
    shift 2
  done
}

# _sp_icon OX OY SIZE INDEX: appends to _sp_args a flat icon (no smoothing:
# sharp coloured edges) drawn at OX,OY; INDEX picks shape and colours.
_sp_icon() {
  local ox=$1 oy=$2 s=$3 i=$4
  local colours=('#d62828' '#f77f00' '#fcbf49' '#2a9d8f' '#264653' '#6a4c93' '#1982c4' '#8ac926')
  local fg=${colours[i % 8]} bg=${colours[(i * 3 + 5) % 8]}
  local m=$((s / 8)) e=$((s - s / 8 - 1)) c=$((s / 2))
  local x0=$((ox + m)) y0=$((oy + m)) x1=$((ox + e)) y1=$((oy + e)) cx=$((ox + c)) cy=$((oy + c))
  case $((i % 6)) in
    0) _sp_args+=(-fill "$fg" -draw "rectangle $x0,$y0 $x1,$y1" -fill white
                  -draw "rectangle $((x0 + s / 6)),$((y0 + s / 6)) $((x1 - s / 6)),$((y1 - s / 6))") ;;
    1) _sp_args+=(-fill "$fg" -draw "circle $cx,$cy $cx,$y0" -fill "$bg" -draw "circle $cx,$cy $cx,$((cy - s / 6))") ;;
    2) _sp_args+=(-fill "$fg" -draw "polygon $cx,$y0 $x1,$y1 $x0,$y1" -fill white
                  -draw "rectangle $((cx - s / 16)),$((cy - s / 8)) $((cx + s / 16)),$((cy + s / 6))") ;;
    3) _sp_args+=(-fill "$bg" -draw "rectangle $x0,$((y0 + s / 8)) $x1,$y1" -fill "$fg"
                  -draw "rectangle $x0,$y0 $((cx - 1)),$((y0 + s / 8))") ;;
    4) _sp_args+=(-fill "$fg" -draw "rectangle $((cx - s / 10)),$y0 $((cx + s / 10)),$y1"
                  -draw "rectangle $x0,$((cy - s / 10)) $x1,$((cy + s / 10))") ;;
    5) _sp_args+=(-fill "$fg" -draw "roundrectangle $x0,$y0 $x1,$y1 $((s / 5)),$((s / 5))" -fill "$bg"
                  -draw "polygon $((x0 + s / 5)),$cy $((cx - s / 10)),$((y1 - s / 5)) $((x1 - s / 5)),$((y0 + s / 5)) $((x1 - s / 8)),$((y0 + s / 3)) $((cx - s / 10)),$((y1 - s / 10)) $x0,$((cy + s / 8))") ;;
  esac
}

# make_software_pictures DIR: writes the pictures into DIR (made if missing).
make_software_pictures() {
  _sp_dir=$1
  mkdir -p "$_sp_dir"
  local photo=/usr/share/backgrounds/mate/nature/LadyBird.jpg i y
  local sans=DejaVu-Sans bold=DejaVu-Sans-Bold mono=DejaVu-Sans-Mono gothic=IPAGothic mincho=IPAMincho

  # NSIS wizard side image: a vertical gradient and a logo mark.
  _sp_save wizard-side -size 164x314 gradient:'#0b3c5d-#328cc1' \
    -fill '#d9b310' -draw 'circle 82,90 82,50' -fill '#0b3c5d' -draw 'circle 82,90 82,66' \
    -fill white -font "$bold" -pointsize 20 -annotate +34+170 'Tolvane' \
    -font "$sans" -pointsize 11 -annotate +30+190 'Setup Wizard 2.4'

  # NSIS header: white, a title and the same mark, small.
  _sp_save wizard-header -size 150x57 xc:white \
    -fill '#d9b310' -draw 'circle 128,28 128,12' -fill '#0b3c5d' -draw 'circle 128,28 128,20' \
    -fill '#1d2731' -font "$bold" -pointsize 12 -annotate +8+24 'Tolvane' \
    -fill '#555555' -font "$sans" -pointsize 9 -annotate +8+40 'Choose a folder'

  # Licence dialog: text in several colours on white, in English and Japanese.
  _sp_args=(-size 500x380 xc:'#f0f0f0' -fill white -draw 'rectangle 12,48 487,322'
    -fill none -stroke '#a0a0a0' -draw 'rectangle 12,48 487,322' -stroke none
    -fill '#1d2731' -font "$bold" -pointsize 14 -annotate +14+22 'License Agreement'
    -fill '#555555' -font "$sans" -pointsize 11 -annotate +14+40 'Please review the license terms before installing Tolvane.'
    -fill '#003399' -font "$bold" -pointsize 12 -annotate +22+70 'TOLVANE END USER LICENSE')
  y=92
  for line in 'Permission is granted to use this program on any number of' \
              'computers owned or leased by you, and to copy it for backup.' \
              'You may not sell, rent or sublicense the program itself.'; do
    _sp_args+=(-fill black -font "$sans" -pointsize 11 -annotate "+22+$y" "$line"); y=$((y + 16)); done
  _sp_args+=(-fill '#c00000' -font "$bold" -pointsize 11 -annotate "+22+$((y + 6))" 'THE PROGRAM IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND.')
  y=$((y + 30))
  for line in '本ソフトウェアは現状のまま提供されます。' '作者は本ソフトウェアの使用により生じた' '損害について一切の責任を負いません。'; do
    _sp_args+=(-fill '#1a6b1a' -font "$gothic" -pointsize 13 -annotate "+22+$y" "$line"); y=$((y + 19)); done
  _sp_args+=(-fill '#444444' -font "$mincho" -pointsize 12 -annotate "+22+$((y + 4))" '第三条　再配布について'
    -fill '#0066cc' -font "$sans" -pointsize 11 -annotate "+22+$((y + 26))" 'https://tolvane.example/license'
    -fill '#0066cc' -draw "line 22,$((y + 28)) 197,$((y + 28))"
    -fill '#7a4f9a' -font "$sans" -pointsize 10 -annotate "+22+$((y + 46))" 'Version 2.4 - the README names the libraries it uses.'
    -fill black -font "$sans" -pointsize 11 -annotate +14+344 'If you accept the terms, click I Agree to continue.'
    -fill '#e1e1e1' -stroke '#adadad' -draw 'rectangle 318,352 398,374' -draw 'rectangle 406,352 486,374' -stroke none
    -fill black -annotate +340+367 'I Agree' -annotate +427+367 'Cancel')
  _sp_save licence "${_sp_args[@]}"

  # Code editor: dark theme, line numbers, syntax colours.
  local kw='#569cd6' ty='#4ec9b0' fn='#dcdcaa' st='#ce9178' cm='#6a9955' nu='#b5cea8' tx='#d4d4d4' pp='#c586c0'
  _sp_args=(-size 640x400 xc:'#1e1e1e' -fill '#252526' -draw 'rectangle 0,0 639,22'
    -fill '#1e1e1e' -draw 'rectangle 0,0 120,22' -fill '#cccccc' -font "$sans" -pointsize 11
    -annotate +10+15 'restore.cpp' -fill '#969696' -annotate +132+15 'convert.cpp'
    -fill '#007acc' -draw 'rectangle 0,384 639,399' -fill white -annotate +8+396 'Ln 12, Col 5   UTF-8   C++'
    -font "$mono" -pointsize 13)
  # One call a line: its number in the gutter, then its runs of colour.
  local row=0
  _sp_line() { row=$((row + 1)); _sp_code 10 $((24 + row * 17)) 7.8 '#858585' "$(printf '%3d' "$row")"
    [ $# -eq 0 ] || _sp_code 50 $((24 + row * 17)) 7.8 "$@"; }
  _sp_line "$pp" '#include' "$tx" ' ' "$st" '"restore.h"'
  _sp_line "$pp" '#include' "$tx" ' ' "$st" '<vector>'
  _sp_line
  _sp_line "$cm" '// The list names each JPEG and the BMP it comes back as.'
  _sp_line "$kw" 'namespace' "$tx" ' tolvane {'
  _sp_line
  _sp_line "$ty" 'int' "$tx" ' ' "$fn" 'restore_all' "$tx" '(' "$kw" 'const' "$tx" ' ' "$ty" 'Folder' "$tx" '& folder) {'
  _sp_line "$tx" '  ' "$ty" 'std::vector' "$tx" '<' "$ty" 'Entry' "$tx" '> list = ' "$fn" 'read_list' "$tx" '(folder);'
  _sp_line "$tx" '  ' "$kw" 'if' "$tx" ' (list.' "$fn" 'empty' "$tx" '()) ' "$pp" 'return' "$tx" ' ' "$nu" '2' "$tx" ';'
  _sp_line "$tx" '  ' "$ty" 'int' "$tx" ' failed = ' "$nu" '0' "$tx" ';'
  _sp_line "$tx" '  ' "$pp" 'for' "$tx" ' (' "$kw" 'const' "$tx" ' ' "$ty" 'Entry' "$tx" '& e : list) {'
  _sp_line "$tx" '    ' "$kw" 'if' "$tx" ' (!' "$fn" 'convert' "$tx" '(e.jpeg, e.bmp, ' "$nu" '100' "$tx" '))'
  _sp_line "$tx" '      ++failed;  ' "$cm" '// keep its JPEG for the next run'
  _sp_line "$tx" '    ' "$kw" 'else'
  _sp_line "$tx" '      ' "$fn" 'remove_file' "$tx" '(e.jpeg);'
  _sp_line "$tx" '  }'
  _sp_line "$tx" '  ' "$fn" 'log' "$tx" '(' "$st" '"restored %d of %d"' "$tx" ', list.' "$fn" 'size' "$tx" '() - failed);'
  _sp_line "$tx" '  ' "$pp" 'return' "$tx" ' failed ? ' "$nu" '1' "$tx" ' : ' "$nu" '0' "$tx" ';'
  _sp_line "$tx" '}'
  _sp_line
  _sp_line "$tx" '}  ' "$cm" '// namespace tolvane'
  _sp_save editor "${_sp_args[@]}"

  # Console: grey text on black.
  _sp_args=(-size 640x360 xc:black -fill '#c0c0c0' -font "$mono" -pointsize 12)
  local lines=('C:\build> tolvpack pack -q 92 -o dist\pictures art\pictures'
    'splash.bmp      ships as JPEG   41 213 B   (BMP 118 977 B in the installer)'
    'wizard-side.bmp ships as BMP     3 911 B   (JPEG 7 220 B in the installer)'
    'licence.bmp     ships as BMP    12 804 B   (JPEG 31 990 B in the installer)'
    'icon-48.bmp     ships as BMP       402 B   (JPEG 1 936 B in the installer)'
    'tvfile.txt: 4 entries, 11.9 MB of BMP, 0.6 MB of JPEG'
    '' 'C:\build> makensis -V2 setup.nsi'
    'Processing script file: "setup.nsi" (UTF8)'
    'Output: "C:\build\Tolvane-2.4-setup.exe"'
    'Install: 7 pages (448 bytes), 1 section (1 required) (2096 bytes).'
    'Datablock optimizer saved 6144 bytes (~0.6%).'
    'Using lzma (compress whole) compression.'
    'EXE header size:              49664 / 41472 bytes'
    'Install code:                  1024 / 7212 bytes'
    'Install data:               1411202 / 12044905 bytes'
    'Total size:                 1461890 / 12093589 bytes (12.0%)'
    '' 'C:\build> _')
  y=16
  for i in "${lines[@]}"; do
    # annotate takes \ and % as escapes: double them.
    i=${i//\\/\\\\}
    [ -z "$i" ] || _sp_args+=(-annotate "+6+$y" "${i//%/%%}")
    y=$((y + 17))
  done
  _sp_save console "${_sp_args[@]}"

  # Chart: flat bars, two lines, axes and labels.
  _sp_args=(-size 400x300 xc:white +antialias -fill '#f2f2f2' -draw 'rectangle 50,30 379,249')
  for i in 0 1 2 3 4; do
    _sp_args+=(-fill '#d0d0d0' -draw "line 50,$((30 + i * 44)) 379,$((30 + i * 44))")
  done
  local h=(120 165 90 200 140 180) h2=(60 95 70 110 85 130)
  for i in 0 1 2 3 4 5; do
    _sp_args+=(-fill '#4472c4' -draw "rectangle $((62 + i * 53)),$((249 - h[i])) $((79 + i * 53)),249"
               -fill '#ed7d31' -draw "rectangle $((81 + i * 53)),$((249 - h2[i])) $((98 + i * 53)),249")
  done
  _sp_args+=(-antialias -fill none -strokewidth 2 -stroke '#70ad47'
    -draw 'polyline 71,150 124,120 177,140 230,95 283,110 336,70' -stroke '#ffc000'
    -draw 'polyline 71,200 124,185 177,190 230,170 283,176 336,150' -stroke black -strokewidth 1
    -draw 'line 50,30 50,249' -draw 'line 50,249 379,249' -stroke none
    -fill black -font "$sans" -pointsize 11 -annotate +120+18 'Installer size by release (MB)')
  i=0
  for y in 2.0 2.1 2.2 2.3 2.4 2.5; do _sp_args+=(-annotate "+$((70 + i * 53))+265" "$y"); i=$((i + 1)); done
  for i in 0 1 2 3 4; do _sp_args+=(-annotate "+22+$((253 - i * 44))" "$((i * 5))"); done
  _sp_args+=(-fill '#4472c4' -draw 'rectangle 90,282 100,292' -fill black -annotate +104+292 'BMP'
    -fill '#ed7d31' -draw 'rectangle 150,282 160,292' -fill black -annotate +164+292 'packed'
    -fill '#70ad47' -draw 'rectangle 220,282 230,292' -fill black -annotate +234+292 'photos'
    -fill '#ffc000' -draw 'rectangle 290,282 300,292' -fill black -annotate +304+292 'icons')
  _sp_save chart "${_sp_args[@]}"

  # Toolbar: 16 icons of 24x24 in a row on a light grey strip.
  _sp_args=(-size 384x24 xc:'#ececec' +antialias)
  for i in $(seq 0 15); do _sp_icon $((i * 24)) 0 24 "$i"; done
  _sp_save toolbar "${_sp_args[@]}"

  # Icons: flat shapes with sharp edges on white.
  _sp_args=(-size 32x32 xc:white +antialias); _sp_icon 0 0 32 5
  _sp_save icon-32 "${_sp_args[@]}"
  _sp_args=(-size 48x48 xc:white +antialias); _sp_icon 0 0 48 1
  _sp_args+=(-fill '#264653' -draw 'rectangle 30,30 45,45' -fill white -draw 'rectangle 34,36 41,39')
  _sp_save icon-48 "${_sp_args[@]}"
  # The same kind of icon with transparency and a half-transparent shadow:
  # 32-bit with alpha in use.
  convert -size 48x48 xc:none +antialias -fill '#00000060' -draw 'roundrectangle 8,9 45,46 8,8' \
    -fill '#1982c4' -draw 'roundrectangle 4,4 41,41 8,8' -fill white -draw 'polygon 14,22 20,30 33,14 36,17 20,36 11,25' \
    -define bmp:format=bmp4 "BMP:$_sp_dir/icon-48-alpha.bmp"

  # Icon sheet: an 8x4 grid of 32-pixel icons.
  _sp_args=(-size 256x128 xc:white +antialias)
  for i in $(seq 0 31); do _sp_icon $((i % 8 * 32)) $((i / 8 * 32)) 32 $((i + 7)); done
  _sp_save icon-sheet "${_sp_args[@]}"

  # Logo: mark and name on white.
  _sp_save logo -size 300x100 xc:white -fill '#0b3c5d' -draw 'roundrectangle 12,14 84,86 14,14' \
    -fill '#d9b310' -draw 'circle 48,50 48,26' -fill '#0b3c5d' -draw 'circle 48,50 48,38' \
    -fill '#1d2731' -font "$bold" -pointsize 34 -annotate +96+58 'Tolvane' \
    -fill '#328cc1' -font "$gothic" -pointsize 14 -annotate +98+82 'トルヴァーネ'

  # Splash: a diagonal gradient, soft noise, a title.
  _sp_save splash -size 480x300 -seed 7 -define gradient:angle=135 gradient:'#1d2731-#328cc1' \
    \( -size 480x300 plasma:'#000000-#202020' -blur 0x6 -evaluate multiply 0.5 \) -compose screen -composite \
    -fill '#d9b310' -draw 'circle 80,150 80,100' -fill '#1d2731' -draw 'circle 80,150 80,122' \
    -fill white -font "$bold" -pointsize 40 -annotate +150+150 'Tolvane 2.4' \
    -font "$sans" -pointsize 14 -annotate +152+180 'Loading pictures...' \
    -fill '#ffffff80' -draw 'rectangle 152,200 440,206' -fill white -draw 'rectangle 152,200 330,206'

  # A window holding a photograph: title bar, menu, side list, the photo.
  convert "$photo" -resize 470x390^ -gravity center -extent 470x390 +repage "$_sp_dir/.photo.ppm"
  _sp_args=(-size 640x480 xc:'#f0f0f0' -fill '#2b579a' -draw 'rectangle 0,0 639,29'
    -fill white -font "$sans" -pointsize 12 -annotate +10+20 'Tolvane - LadyBird.bmp'
    -fill '#e81123' -draw 'rectangle 594,0 639,29' -fill white -draw 'line 611,9 622,20' -draw 'line 611,20 622,9'
    -fill black -annotate +10+46 'File   Edit   View   Pictures   Help'
    -fill white -draw 'rectangle 8,60 155,470' -fill '#cce4f7' -draw 'rectangle 9,171 154,188')
  i=0
  for y in Aqua Blinds Dune FreshFlower Garden GreenMeadow LadyBird RainDrops Storm TwoWings Wood; do
    _sp_args+=(-fill black -annotate "+14+$((76 + i * 18))" "$y.bmp"); i=$((i + 1)); done
  _sp_args+=("$_sp_dir/.photo.ppm" -geometry +162+70 -composite)
  _sp_save mockup-photo "${_sp_args[@]}"
  rm -f "$_sp_dir/.photo.ppm"

  # Check box and radio button states, as skins keep them: a 16-colour palette (4-bit).
  _sp_args=(-size 208x26 xc:'#f0f0f0' +antialias)
  for i in 0 1 2 3; do
    local fill; fill=$([ $((i % 2)) = 0 ] && echo white || echo '#cce4f7')
    _sp_args+=(-fill "$fill" -stroke '#333333' -draw "rectangle $((5 + i * 26)),5 $((20 + i * 26)),20" -stroke none)
    [ "$i" -lt 2 ] || _sp_args+=(-fill '#005fb8' -draw "polygon $((8 + i * 26)),12 $((11 + i * 26)),16 $((18 + i * 26)),8 $((18 + i * 26)),10 $((11 + i * 26)),18 $((8 + i * 26)),14")
    _sp_args+=(-fill "$fill" -stroke '#333333' -draw "circle $((117 + i * 26)),13 $((117 + i * 26)),5" -stroke none)
    [ "$i" -lt 2 ] || _sp_args+=(-fill '#005fb8' -draw "circle $((117 + i * 26)),13 $((117 + i * 26)),9")
  done
  convert "${_sp_args[@]}" -type Palette "BMP3:$_sp_dir/checkboxes-4bit.bmp"

  # Button skins (normal, hover, pressed, disabled): RLE8.
  _sp_args=(-size 90x100 xc:'#f0f0f0' +antialias -font "$sans" -pointsize 11)
  local faces=('#e1e1e1' '#e5f1fb' '#cce4f7' '#f4f4f4') borders=('#adadad' '#0078d7' '#005499' '#bfbfbf') texts=(black black black '#a0a0a0')
  for i in 0 1 2 3; do
    _sp_args+=(-fill "${faces[i]}" -stroke "${borders[i]}" -draw "rectangle 2,$((2 + i * 25)) 87,$((22 + i * 25))" -stroke none
               -fill "${texts[i]}" -annotate "+28+$((16 + i * 25))" 'Next >')
  done
  convert "${_sp_args[@]}" -colors 64 -type Palette -compress RLE "BMP3:$_sp_dir/buttons-rle8.bmp"
}

# Run, not sourced: make the pictures in the folder given.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  [ $# = 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
  make_software_pictures "$1"
fi
