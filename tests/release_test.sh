#!/usr/bin/env bash
# The release as authors get it. scripts/release.sh runs on two copies of the
# tree (changes not committed included) in folders of other names, the second
# under another umask, time zone and language, and must give the same bytes.
# Then: the zip holds exactly what it should (the user guides for Notepad,
# the notices of what each program links), each program carries the
# project's version in its version resource and no debug section, tolvinst.exe
# is within its size (stripped and after LZMA), tolvpack.exe prints the
# version under Wine; the .deb unpacks into a scratch root with a
# stripped tolvpack that prints the version, a manual page groff reads without
# a warning, in Depends the package of every library it links, and their
# notices in Debian's machine-readable copyright; the Inno
# Setup example is well formed (no compiler for it runs here); and the example
# installer test passes with the released tolvinst.exe.
# Usage: release_test.sh [WORK_FOLDER]
# scripts/test.sh runs it after the Windows tests (WINEPREFIX and DISPLAY set).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/../scripts/env.sh"
root=$TOLVANE_ROOT
# The tools' output is read in English.
export LC_ALL=C.UTF-8
work=${1:-$root/build/release-test}
version=$(sed -n 's/^project(Tolvane VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
passed=0 failed=0
check() {
  if eval "$2"; then echo "ok: $1"; passed=$((passed + 1)); else echo "FAIL: $1"; failed=$((failed + 1)); fi
}
finish() {
  echo "release: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && rm -rf "$work"
  exit $((failed > 0))
}

# Without .git, release.sh takes the date from SOURCE_DATE_EPOCH: the commit's.
epoch=$(git -C "$root" log -1 --format=%ct)
copy() {
  mkdir -p "$1"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
     tar --null -T - --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$1"
}
rm -rf "$work"
first=$work/a/tolvane second=$work/second-copy/tolvane-again
copy "$first"
copy "$second"
check "release.sh builds the release" \
  'SOURCE_DATE_EPOCH=$epoch "$first/scripts/release.sh" >"$work/first.log" 2>&1 || { tail -30 "$work/first.log"; false; }'
check "release.sh builds it again elsewhere (umask 077, Asia/Tokyo, Japanese)" \
  '(umask 077; SOURCE_DATE_EPOCH=$epoch TZ=Asia/Tokyo LC_ALL=ja_JP.UTF-8 "$second/scripts/release.sh") >"$work/second.log" 2>&1 || { tail -30 "$work/second.log"; false; }'
[ "$failed" -eq 0 ] || finish
grep '^== dist/' "$work/first.log"

dist=$first/dist
zip=tolvane-$version-win64.zip deb=tolvpack_${version}_amd64.deb
check "dist/ holds the zip, the .deb and SHA256SUMS" \
  '[ "$(ls "$dist" | LC_ALL=C sort | tr "\n" " ")" = "SHA256SUMS $zip $deb " ]'
check "SHA256SUMS matches" '(cd "$dist" && sha256sum --quiet -c SHA256SUMS)'
for f in "$zip" "$deb" SHA256SUMS; do
  check "$f byte-identical from both builds" 'cmp "$dist/$f" "$second/dist/$f"'
done

# The zip.
unzipped=$work/unzipped top=tolvane-$version-win64
shipped="LICENSE.txt README-ja.txt README.txt THIRD-PARTY-NOTICES.txt installer.iss installer.nsi tolvane.exe tolvinst.exe tolvpack.exe"
check "the zip holds exactly $shipped in $top/" \
  '[ "$(unzip -Z1 "$dist/$zip" | LC_ALL=C sort | tr "\n" " ")" = "$(printf "$top/%s " $shipped)" ]'
unzip -q "$dist/$zip" -d "$unzipped"
z=$unzipped/$top
# for_notepad FILE: as Notepad on any Windows reads it, UTF-8 with a byte order mark and CR LF.
for_notepad() { printf '\357\273\277'; sed 's/$/\r/' "$1"; }
check "README.txt and README-ja.txt are the user guides for Notepad, LICENSE.txt the license" \
  'cmp -s <(for_notepad "$root/packaging/README.txt") "$z/README.txt" &&
   cmp -s <(for_notepad "$root/packaging/README-ja.txt") "$z/README-ja.txt" &&
   cmp -s <(sed "s/\$/\r/" "$root/LICENSE") "$z/LICENSE.txt"'
ijg="This software is based in part on the work of the Independent JPEG Group."
check "the user guides and the notices carry the IJG's acknowledgement" \
  'for f in README.txt README-ja.txt THIRD-PARTY-NOTICES.txt; do grep -qF "$ijg" "$z/$f" || exit 1; done'
# Each program's line in THIRD-PARTY-NOTICES.txt names exactly the libraries
# linked into it, each found by a symbol of its own in the program before
# it was stripped, and each named one has its licence text.
notices=$(tr -d '\r' <"$z/THIRD-PARTY-NOTICES.txt")
names_what_it_links() {
  local pair symbol component
  for pair in "T jpeg_CreateDecompress$=libjpeg-turbo" "T lzma_code$=liblzma" "T deflate$=zlib" " CLI::App::=CLI11" \
              "T jpegli_CreateCompress$=jpegli" "T hwy::GetAbortFunc=highway" \
              "T pthread_create$=MinGW-w64 runtime" "T ___chkstk_ms$=GCC runtime libraries"; do
    symbol=${pair%%=*} component=${pair#*=}
    if grep -q "$symbol" <<<"$symbols"; then
      grep -qF "$component" <<<"$held" &&
        grep -q "^Licence (" <<<"$(sed -n "/^$component/,/^-----/p" <<<"$notices")" || return 1
    else
      ! grep -qF "$component" <<<"$held" || return 1
    fi
  done
}
for exe in workbench/tolvane.exe restorer/tolvinst.exe tolvpack/tolvpack.exe; do
  name=${exe#*/}
  symbols=$(x86_64-w64-mingw32-nm -C "$first/build/release/windows/$exe")
  held=$(awk -v p="  $name " 'index($0, p) == 1 {on = 1} on && (/^$/ || (/^  [a-z]+\.exe / && index($0, p) != 1)) {exit} on' <<<"$notices" | tr -s ' \n' ' ')
  check "THIRD-PARTY-NOTICES.txt names what $name links:$held" names_what_it_links
done
check "the installer examples as in examples/installer/" \
  'cmp -s "$root/examples/installer/installer.nsi" "$z/installer.nsi" && cmp -s "$root/examples/installer/installer.iss" "$z/installer.iss"'
numbers="$(echo "$version" | sed 's/\./, /g'), 0"
# version_resource RC NAME: the resource (as windres writes it back) has the
# version in its numbers and in both string tables, and names the program.
version_resource() {
  local v
  grep -q "FILEVERSION $numbers\$" <<<"$1" && grep -q "PRODUCTVERSION $numbers\$" <<<"$1" &&
    [ "$(grep -E -c 'BLOCK "(0411|0409)04B0"' <<<"$1")" = 2 ] &&
    grep -q 'VALUE "Translation", 0x411, 1200, 0x409, 1200' <<<"$1" || return 1
  for v in "FileVersion\", \"$version\"" "ProductVersion\", \"$version\"" "ProductName\", \"Tolvane\"" \
           "CompanyName\", \"Tolvane\"" "OriginalFilename\", \"$2.exe\"" "FileDescription\", "; do
    [ "$(grep -c "VALUE \"$v" <<<"$1")" = 2 ] || return 1
  done
}
for exe in tolvane tolvinst tolvpack; do
  sections=$(x86_64-w64-mingw32-objdump -h -t "$z/$exe.exe")
  check "$exe.exe has no debug section and no symbols" \
    '! grep -q "\.debug_" <<<"$sections" && grep -q "^no symbols" <<<"$sections"'
  # windres reads the version resource back out of the program.
  rc=$(x86_64-w64-mingw32-windres -i "$z/$exe.exe" -O rc 2>/dev/null | sed -n '/VERSIONINFO/,$p')
  check "$exe.exe's version resource: $version, in Japanese and English" 'version_resource "$rc" "$exe"'
done
# The restorer travels in every installer: what it costs there, as numbers.
restorer_bytes=$(stat -c %s "$z/tolvinst.exe")
restorer_lzma=$(xz -9e --format=lzma -c "$z/tolvinst.exe" | wc -c)
check "tolvinst.exe is small: $restorer_bytes bytes stripped (at most 600000), $restorer_lzma after LZMA (at most 175000)" \
  '[ "$restorer_bytes" -le 600000 ] && [ "$restorer_lzma" -le 175000 ]'
check "tolvpack.exe --version under Wine says $version" \
  '[ "$("$root/cmake/wine-run.sh" "$z/tolvpack.exe" --version | tr -d "\r")" = "tolvpack (Tolvane) $version" ]'

# The Inno Setup example: sections, directives and entries in their form,
# [Code] balanced, the event functions spelt as Inno Setup calls them (a
# misspelt one is silently never called), tolvinst started as it must be,
# the files it ships named as the zip names them, and every kind of file of
# a packed folder shipped, each skipped when the folder has none.
iss_check() {
  python3 - "$@" <<'EOF'
import re, sys
path, shipped = sys.argv[1], sys.argv[2:]
errors, defines, code, files, section = [], {}, [], [], None
sections = {'Setup', 'Languages', 'CustomMessages', 'Files', 'Dirs', 'Icons', 'Tasks', 'Registry',
            'Run', 'InstallDelete', 'UninstallDelete', 'UninstallRun', 'Code'}
for n, line in enumerate(open(path, encoding='utf-8-sig').read().splitlines(), 1):
    s = line.strip()
    if m := re.fullmatch(r'\[(\w+)\]', s):
        section = m[1]
        if section not in sections: errors.append(f'{n}: unknown section [{section}]')
        continue
    if section == 'Code':
        code.append(line)
        continue
    if not s or s.startswith(';'): continue
    if m := re.fullmatch(r'#(ifndef|endif|define)\b\s*(\w*)\s*("[^"]*")?', s):
        if m[1] == 'define': defines[m[2]] = (m[3] or '').strip('"')
    elif section is None: errors.append(f'{n}: outside a section')
    elif section in ('Setup', 'CustomMessages'):
        if not re.fullmatch(r'[\w.]+=\S.*', s): errors.append(f'{n}: not Directive=value')
    elif not re.fullmatch(r'\w+: ("[^"]*"|[\w ]+)(; \w+: ("[^"]*"|[\w ]+))*', s):
        errors.append(f'{n}: not Parameter: value; ...')
    elif section == 'Files': files.append(s)
    for c in re.findall(r'\{(#?[\w:]+)', s):
        if c.lstrip('#') not in defines and c not in ('app', 'autopf'):
            errors.append(f'{n}: unknown constant {{{c}}}')
text = '\n'.join(code)
# Strings and comments out; then begin and end, and brackets, must balance.
bare = re.sub(r"'([^']|'')*'|\{[^}]*\}|\(\*.*?\*\)|//[^\n]*", ' ', text, flags=re.S)
depth = 0
for word in re.findall(r'\b(begin|case|try|record|end)\b', bare, flags=re.I):
    depth += -1 if word.lower() == 'end' else 1
    if depth < 0: errors.append('[Code]: end without begin')
if depth: errors.append(f'[Code]: {depth} begin without end')
if bare.count('(') != bare.count(')'): errors.append('[Code]: brackets do not balance')
for signature in ('procedure CurStepChanged(CurStep: TSetupStep);', 'function GetCustomSetupExitCode: Integer;',
                  'procedure CurUninstallStepChanged(CurUninstallStep: TUninstallStep);'):
    if signature not in text: errors.append(f'[Code]: no {signature}')
if not re.search(r"Exec\(ExpandConstant\('\{app\}\\tolvinst\.exe'\), ExpandConstant\('\{app\}\\'\),"
                 r"\s*ExpandConstant\('\{app\}'\), SW_HIDE, ewWaitUntilTerminated, Code\)", text):
    errors.append('[Code]: tolvinst.exe not started hidden with the folder, unquoted, ending in \\')
if not all(re.search(rf'\bCode (=|<>) {c}\b', text) for c in (0, 1)): errors.append('[Code]: exit codes not read')
if defines.get('Tolvinst') != 'tolvinst.exe' or 'tolvinst.exe' not in shipped:
    errors.append("[Files]: the restorer it ships is not the zip's tolvinst.exe")
for name in ('*.bmp', '*.jpg', 'tvfile.txt'):
    if not any(f.startswith(f'Source: "{{#Pictures}}\\{name}"; DestDir: "{{app}}";')
               and f.endswith('Flags: skipifsourcedoesntexist') for f in files):
        errors.append(f'[Files]: {name} of the pictures not shipped, or not skipped when missing')
if errors: print('\n'.join(errors))
sys.exit(bool(errors))
EOF
}
check "installer.iss is well formed and ships the zip's tolvinst.exe" 'iss_check "$z/installer.iss" $shipped'

# The .deb.
debroot=$work/deb-root
dpkg-deb -x "$dist/$deb" "$debroot"
field() { dpkg-deb -f "$dist/$deb" "$1"; }
check "the .deb is tolvpack $version for amd64" \
  '[ "$(field Package) $(field Version) $(field Architecture)" = "tolvpack $version amd64" ]'
# Debian's machine-readable copyright: every paragraph of files has its
# copyright and licence, every licence its text, and each library the
# program links is there.
dep5_check() {
  python3 - "$@" <<'EOF'
import re, sys
text = open(sys.argv[1], encoding='utf-8').read()
paragraphs = [dict(re.findall(r'^([\w-]+):[ \t]*(.*(?:\n[ \t].*)*)', p, re.M)) for p in text.strip().split('\n\n')]
errors = []
if paragraphs[0].get('Format') != 'https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/':
    errors.append('no Format line first')
texts = {p['License'].split('\n')[0] for p in paragraphs if '\n' in p.get('License', '')}
for p in paragraphs[1:]:
    if 'Files' in p:
        if not p.get('Copyright') or not p.get('License'):
            errors.append(f"Files: {p['Files']}: no Copyright or License")
        for name in re.split(r'\s+and\s+|\s+or\s+', p.get('License', '').split('\n')[0]):
            if name not in texts: errors.append(f'licence {name}: no text')
    elif 'License' not in p:
        errors.append('a paragraph without Files or License')
if not any(p.get('Files') == '*' and p.get('License') == 'Expat' for p in paragraphs):
    errors.append('Files: * is not Expat (MIT)')
for component in sys.argv[2:]:
    if not any(p.get('Component', '').startswith(component) for p in paragraphs):
        errors.append(f'no paragraph for {component}')
print('\n'.join(errors))
sys.exit(bool(errors))
EOF
}
# The libraries ldd finds, by the component each comes from (the C library apart).
components=$(ldd "$debroot/usr/bin/tolvpack" | awk '/=>/ {print $1}' | sed -n \
  -e 's/^libjpeg\..*/libjpeg-turbo/p' -e 's/^liblzma\..*/liblzma/p' -e 's/^libz\..*/zlib/p' \
  -e 's/^libstdc++\..*/GCC/p' -e 's/^libgcc_s\..*/GCC/p' | LC_ALL=C sort -u | tr '\n' ' ')
# And those linked in statically, by a symbol of their own before stripping.
linux_symbols=$(nm -C "$first/build/release/pack/tolvpack/tolvpack")
grep -q " T jpegli_CreateCompress$" <<<"$linux_symbols" && components+="jpegli "
grep -q " T hwy::GetAbortFunc" <<<"$linux_symbols" && components+="highway "
check "the .deb's copyright is machine-readable, with Tolvane, CLI11 and what tolvpack links: $components" \
  'dep5_check "$debroot/usr/share/doc/tolvpack/copyright" Tolvane CLI11 $components'
check "the .deb holds tolvpack, its manual page and its copyright, nothing else" \
  '[ "$(cd "$debroot" && find . -type f | LC_ALL=C sort | tr "\n" " ")" = "./usr/bin/tolvpack ./usr/share/doc/tolvpack/copyright ./usr/share/man/man1/tolvpack.1.gz " ]'
check "usr/bin/tolvpack --version says $version" \
  '[ "$("$debroot/usr/bin/tolvpack" --version)" = "tolvpack (Tolvane) $version" ]'
sections=$(readelf -S "$debroot/usr/bin/tolvpack")
check "usr/bin/tolvpack is stripped" '! grep -q -E "\.debug_|\.symtab" <<<"$sections"'
linked=$(ldd "$debroot/usr/bin/tolvpack" | awk '/=>/ {print $3}' |
  while read -r lib; do dpkg -S "$lib" 2>/dev/null || dpkg -S "$(readlink -f "$lib")"; done |
  cut -d: -f1 | LC_ALL=C sort -u | tr '\n' ' ')
check "Depends names the packages of the libraries it links ($linked)" \
  '[ "$(field Depends | tr "," "\n" | awk "{print \$1}" | LC_ALL=C sort -u | tr "\n" " ")" = "$linked" ]'
man=$(zcat "$debroot/usr/share/man/man1/tolvpack.1.gz")
commands=$("$debroot/usr/bin/tolvpack" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]*\) .*/\1/p')
options=$(for c in $commands; do "$debroot/usr/bin/tolvpack" "$c" --help; done | grep -c '^  -')
check "the manual page reads without a warning, with its $(wc -w <<<"$commands") commands and $options options" '
  [ -z "$(groff -man -Tutf8 -ww -z 2>&1 <<<"$man")" ] &&
  grep -q "^\.TH TOLVPACK 1 .*\"Tolvane $version\"" <<<"$man" &&
  (for c in $commands; do grep -q "^\.SH TOLVPACK ${c^^}\$" <<<"$man" || exit 1; done) &&
  [ "$(grep -c "^\.B \\\\-" <<<"$man")" = "$options" ]'

# The released restorer in the example installer, end to end.
check "the example installer test with the released tolvinst.exe" \
  'LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 "$here/installer_test.sh" "$z/tolvinst.exe" "$work/installer" >"$work/installer.log" 2>&1 || { grep -v "^ok:" "$work/installer.log"; false; }'
finish
