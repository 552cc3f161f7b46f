#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Idempotent: each step checks what is already there and skips it.
#   - Debian packages (MinGW-w64, Wine, Xvfb, fonts, libjpeg-turbo, GoogleTest, clang, NSIS, CLI11,
#     and zip, dpkg-dev and groff for the release and its test)
#   - the ja_JP.UTF-8 locale, and en_US.UTF-8 and hi_IN.UTF-8 for the code-page tests
#   - libjpeg-turbo cross-built for MinGW from Debian's source package (with NASM SIMD),
#     and liblzma from xz-utils' (zlib for MinGW is Debian's libz-mingw-w64-dev)
#   - a private apt for Debian 13 (trixie) that leaves the system's packages alone;
#     jpegli and highway, static, natively and for MinGW, from trixie's source packages
#   - the reference ssimulacra2 (trixie's libjxl-devtools) in a root of its own,
#     run by $TOLVANE_DEPS/bin/ssimulacra2-reference
#   - a Wine prefix template with a Japanese locale and font substitutes
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/env.sh"

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  build-essential cmake ninja-build pkg-config
  g++-mingw-w64-x86-64-posix mingw-w64-tools nasm
  wine wine64 libwine fonts-wine xvfb x11-utils imagemagick
  fonts-ipafont fonts-ipafont-gothic fonts-ipafont-mincho locales
  libjpeg62-turbo-dev libturbojpeg0-dev libjpeg-turbo-progs
  googletest clang libclang-rt-14-dev llvm
  python3 python3-pil mate-backgrounds time dpkg-dev
  nsis libcli11-dev liblzma-dev zlib1g-dev libz-mingw-w64-dev
  zip unzip groff-base
)
# jpeg-xl's configure looks for them; jpegli itself uses neither.
packages+=(libbrotli-dev liblcms2-dev)

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# ja_JP.UTF-8 for Wine's Japanese code page (932); en_US.UTF-8 (1252) and
# hi_IN.UTF-8 (65001) for the tests that run the programs under other
# systems' code pages. Each is added on its own with localedef: locale-gen
# would rebuild every locale, and programs starting meanwhile (a test run)
# would find none. /etc/locale.gen names them so a later locale-gen keeps them.
generate_locale() {
  local name
  for name in ja_JP en_US hi_IN; do
    locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$" && continue
    echo "setup: generating $name.UTF-8"
    sudo_if_needed sed -i "s/^# *\($name.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | sudo_if_needed tee -a /etc/locale.gen >/dev/null
    sudo_if_needed localedef -c -i "$name" -f UTF-8 "$name.UTF-8"
  done
}

# apt-get source needs a deb-src entry: mirror the machine's own binary entry.
enable_deb_src() {
  if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then return; fi
  echo "setup: adding deb-src entries derived from the existing apt sources"
  local out=/etc/apt/sources.list.d/tolvane-deb-src
  if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
    for f in /etc/apt/sources.list.d/*.sources; do
      sed -E 's/^Types:.*/Types: deb-src/' "$f"
    done | sudo_if_needed tee "$out.sources" >/dev/null
  fi
  if [ -f /etc/apt/sources.list ] && grep -qE '^deb ' /etc/apt/sources.list; then
    sed -nE 's/^deb (.*)/deb-src \1/p' /etc/apt/sources.list | sudo_if_needed tee "$out.list" >/dev/null
  fi
  sudo_if_needed apt-get update -qq
}

build_mingw_libjpeg() {
  local version stamp
  version=$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev)
  stamp="$TOLVANE_DEPS/mingw-libjpeg-turbo.stamp"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -f "$TOLVANE_MINGW_PREFIX/lib/libjpeg.a" ]; then
    return
  fi
  enable_deb_src
  echo "setup: building libjpeg-turbo $version for MinGW-w64"
  local src="$TOLVANE_DEPS/src"
  rm -rf "$src" "$TOLVANE_MINGW_PREFIX"
  mkdir -p "$src"
  (cd "$src" && apt-get source -qq --download-only "libjpeg-turbo=$version" >/dev/null 2>&1 \
     || apt-get source -qq --download-only libjpeg-turbo >/dev/null)
  (cd "$src" && dpkg-source -x --no-copy -q ./*.dsc tree >/dev/null)
  cmake -S "$src/tree" -B "$src/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOLVANE_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=ON -DWITH_JPEG8=OFF -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON \
    -DCMAKE_INSTALL_PREFIX="$TOLVANE_MINGW_PREFIX" >"$src/configure.log"
  grep -q 'SIMD extensions: x86_64' "$src/configure.log" || { echo "setup: libjpeg-turbo SIMD not enabled" >&2; exit 1; }
  cmake --build "$src/build" >/dev/null
  cmake --install "$src/build" >/dev/null
  echo "$version" >"$stamp"
}

# liblzma for MinGW (tolvpack.exe weighs each picture as an installer's LZMA
# would carry it), from Debian's xz-utils source package: only the library.
build_mingw_liblzma() {
  local version stamp src="$TOLVANE_DEPS/src-xz"
  version=$(dpkg-query -W -f='${Version}' liblzma-dev)
  stamp="$TOLVANE_DEPS/mingw-liblzma.stamp"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -f "$TOLVANE_MINGW_LZMA_PREFIX/lib/liblzma.a" ]; then
    return
  fi
  enable_deb_src
  echo "setup: building liblzma $version for MinGW-w64"
  rm -rf "$src" "$TOLVANE_MINGW_LZMA_PREFIX"
  mkdir -p "$src" "$TOLVANE_MINGW_LZMA_PREFIX/lib" "$TOLVANE_MINGW_LZMA_PREFIX/include"
  (cd "$src" && apt-get source -qq --download-only "xz-utils=$version" >/dev/null 2>&1 \
     || apt-get source -qq --download-only xz-utils >/dev/null)
  (cd "$src" && dpkg-source -x --no-copy -q ./*.dsc tree >/dev/null)
  cmake -S "$src/tree" -B "$src/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOLVANE_ROOT/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF >"$src/configure.log"
  cmake --build "$src/build" --target liblzma >/dev/null
  cp "$src/build/liblzma.a" "$TOLVANE_MINGW_LZMA_PREFIX/lib/"
  cp -r "$src/tree/src/liblzma/api/lzma.h" "$src/tree/src/liblzma/api/lzma" "$TOLVANE_MINGW_LZMA_PREFIX/include/"
  echo "$version" >"$stamp"
}

# Debian 13 ("trixie") packages for what Debian 12 lacks, through an apt of
# our own: its own lists, cache and an empty dpkg status, with the machine's
# own Debian entries (bookworm, -updates, -security) renamed to trixie. The
# system's packages and lists stay as they are.
trixie_apt_dir="$TOLVANE_DEPS/apt-trixie"
trixie_apt() { APT_CONFIG="$trixie_apt_dir/apt.conf" "$@"; }

# The machine's binary entries for its own suites (by codename or as
# stable), as one-line entries for both deb and deb-src, renamed trixie.
trixie_sources() {
  local codename f
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v c="$codename" '
      function flush(  n, s, i, sb) {
        if (types ~ /(^| )deb( |$)/ && uris != "" && suites != "") {
          sb = signed != "" ? "[signed-by=" signed "] " : ""
          n = split(suites, s, " ")
          for (i = 1; i <= n; i++)
            if (s[i] ~ "^(" c "|stable)(-|$)") {
              sub("^(" c "|stable)", "trixie", s[i])
              print "deb " sb uris " " s[i] " " comps
              print "deb-src " sb uris " " s[i] " " comps
            }
        }
        types = uris = suites = comps = signed = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ { $1 = ""; types = substr($0, 2) }
      /^URIs:/ { uris = $2 }
      /^Suites:/ { $1 = ""; suites = substr($0, 2) }
      /^Components:/ { $1 = ""; comps = substr($0, 2) }
      /^Signed-By:/ { if ($2 ~ /^\//) signed = $2 }
      END { flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v c="$codename" '
      $1 == "deb" {
        i = 2; opts = ""
        if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts $i " "; i++ } opts = opts $i " "; i++ }
        s = $(i + 1)
        if (s !~ "^(" c "|stable)(-|$)") next
        sub("^(" c "|stable)", "trixie", s)
        rest = ""; for (j = i + 2; j <= NF; j++) rest = rest " " $j
        print "deb " opts $i " " s rest
        print "deb-src " opts $i " " s rest
      }' "$f"
  done
}

# Lists are fetched when missing or a day old: trixie's point releases
# replace versions, and the mirror keeps only the current ones.
setup_trixie_apt() {
  local d="$trixie_apt_dir"
  mkdir -p "$d/state/lists/partial" "$d/cache/archives/partial" "$d/sources.list.d" "$d/preferences.d"
  [ -f "$d/state/status" ] || : >"$d/state/status"
  cat >"$d/apt.conf" <<EOF
Dir::State "$d/state";
Dir::State::status "$d/state/status";
Dir::Cache "$d/cache";
Dir::Cache::pkgcache "";
Dir::Cache::srcpkgcache "";
Dir::Etc::SourceList "$d/sources.list";
Dir::Etc::SourceParts "$d/sources.list.d";
Dir::Etc::Preferences "$d/preferences";
Dir::Etc::PreferencesParts "$d/preferences.d";
Acquire::Languages "none";
APT::Sandbox::User "root";
EOF
  trixie_sources >"$d/sources.list.new"
  if [ ! -s "$d/sources.list.new" ]; then
    echo "setup: no Debian apt entry to derive trixie's from" >&2
    exit 1
  fi
  if cmp -s "$d/sources.list.new" "$d/sources.list"; then
    rm -f "$d/sources.list.new"
  else
    mv "$d/sources.list.new" "$d/sources.list"
    rm -f "$d/lists.stamp"
  fi
  if [ -z "$(find "$d/lists.stamp" -mmin -1440 2>/dev/null)" ]; then
    echo "setup: fetching Debian 13 (trixie) package lists into $d"
    trixie_apt apt-get update -qq
    touch "$d/lists.stamp"
  fi
}

# jpegli (the JPEG XL project's JPEG encoder), static, from Debian 13's
# highway and jpeg-xl source packages: Debian 12 has neither jpegli nor a
# recent enough highway. jpeg-xl's orig tarball has an empty third_party/:
# jpegli is compiled against the very jpeglib.h, jmorecfg.h and jconfig.h
# of the libjpeg-turbo it is linked beside (MinGW's makes boolean a byte),
# so both agree on the structures. A new recipe number rebuilds.
jpegli_recipe=1
jpegli_src="$TOLVANE_DEPS/src-jpegli"

# apt-get source from trixie; when the mirror lacks the Debian part
# (.dsc, .debian.tar.xz), the orig tarball alone, which apt checked
# against trixie's signed Sources.
unpack_trixie_source() {
  local name=$1 dest=$2 dl="$jpegli_src/dl/$1" orig
  rm -rf "$dl" "$dest"
  mkdir -p "$dl"
  (cd "$dl" && trixie_apt apt-get source -qq --download-only "$name" >/dev/null 2>"$dl.log") || true
  if ls "$dl"/*.dsc >/dev/null 2>&1 && ls "$dl"/*.debian.tar.* >/dev/null 2>&1; then
    dpkg-source -x --no-copy -q "$dl"/*.dsc "$dest" >/dev/null 2>&1
  else
    orig=$(ls "$dl"/*.orig.tar.* 2>/dev/null | head -1)
    if [ -z "$orig" ]; then cat "$dl.log" >&2; echo "setup: no source of $name from trixie" >&2; exit 1; fi
    echo "setup: the mirror has only the orig tarball of $name: built without Debian's patches"
    mkdir -p "$dest"
    tar xf "$orig" -C "$dest" --strip-components=1
  fi
}

fetch_jpegli_sources() {
  [ -f "$jpegli_src/versions" ] && return
  setup_trixie_apt
  echo "setup: fetching highway and jpeg-xl from trixie"
  rm -rf "$jpegli_src"
  mkdir -p "$jpegli_src/dl"
  unpack_trixie_source highway "$jpegli_src/highway"
  unpack_trixie_source jpeg-xl "$jpegli_src/jpeg-xl"
  local name
  for name in highway jpeg-xl; do
    echo "$name=$(trixie_apt apt-cache showsrc --only-source "$name" | sed -n 's/^Version: //p' | sort -V | tail -1)"
  done >"$jpegli_src/versions"
}

# build_jpegli PREFIX BUILD_DIR LIBJPEG_INCLUDE JCONFIG_H [CMAKE_ARGS...]:
# highway, then only the jpegli-static target of jpeg-xl; libjxl, its
# tools, docs, tests, benchmarks, plugins and the libjpeg.so replacement
# stay out. The caller's jxl_args go to jpeg-xl alone. Each step's time
# goes to BUILD_DIR/times.
build_jpegli() {
  local prefix=$1 build=$2 libjpeg_include=$3 jconfig=$4 jxl="$jpegli_src/jpeg-xl" t
  shift 4
  rm -rf "$build" "$prefix"
  mkdir -p "$build" "$jxl/third_party/libjpeg-turbo"
  cp "$libjpeg_include/jpeglib.h" "$libjpeg_include/jmorecfg.h" "$jxl/third_party/libjpeg-turbo/"
  cp "$jconfig" "$jxl/third_party/libjpeg-turbo/jconfig.h.in"
  t=$SECONDS
  cmake -S "$jpegli_src/highway" -B "$build/hwy" -G Ninja "$@" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DHWY_FORCE_STATIC_LIBS=ON \
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DBUILD_TESTING=OFF \
    -DHWY_ENABLE_TESTS=OFF -DHWY_ENABLE_EXAMPLES=OFF -DHWY_ENABLE_CONTRIB=OFF \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib >"$build/hwy-configure.log"
  cmake --build "$build/hwy" >"$build/hwy-build.log"
  cmake --install "$build/hwy" >/dev/null
  echo "highway $((SECONDS - t)) s" >"$build/times"
  t=$SECONDS
  cmake -S "$jxl" -B "$build/jxl" -G Ninja "$@" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
    -DBUILD_TESTING=OFF -DJPEGXL_ENABLE_JPEGLI=ON -DJPEGXL_ENABLE_JPEGLI_LIBJPEG=OFF \
    -DJPEGXL_INSTALL_JPEGLI_LIBJPEG=OFF -DJPEGXL_ENABLE_TOOLS=OFF -DJPEGXL_ENABLE_DEVTOOLS=OFF \
    -DJPEGXL_ENABLE_DOXYGEN=OFF -DJPEGXL_ENABLE_MANPAGES=OFF -DJPEGXL_ENABLE_BENCHMARK=OFF \
    -DJPEGXL_ENABLE_EXAMPLES=OFF -DJPEGXL_ENABLE_JNI=OFF -DJPEGXL_ENABLE_SJPEG=OFF \
    -DJPEGXL_ENABLE_OPENEXR=OFF -DJPEGXL_ENABLE_PLUGINS=OFF -DJPEGXL_ENABLE_VIEWERS=OFF \
    -DJPEGXL_ENABLE_FUZZERS=OFF -DJPEGXL_ENABLE_TCMALLOC=OFF -DJPEGXL_ENABLE_SKCMS=OFF \
    -DJPEGXL_FORCE_SYSTEM_HWY=ON -DJPEGXL_FORCE_SYSTEM_BROTLI=ON -DJPEGXL_FORCE_SYSTEM_LCMS2=ON \
    -DHWY_INCLUDE_DIR="$prefix/include" -DHWY_LIBRARY="$prefix/lib/libhwy.a" \
    ${jxl_args[@]+"${jxl_args[@]}"} >"$build/jxl-configure.log"
  cmake --build "$build/jxl" --target jpegli-static >"$build/jxl-build.log"
  echo "jpegli $((SECONDS - t)) s" >>"$build/times"
  mkdir -p "$prefix/include/lib/jpegli" "$prefix/include/lib/jxl/base"
  cp "$build/jxl/lib/libjpegli-static.a" "$prefix/lib/"
  cp "$jxl/lib/jpegli/"{common,encode,types}.h "$prefix/include/lib/jpegli/"
  cp "$jxl/lib/jxl/base/include_jpeglib.h" "$prefix/include/lib/jxl/base/"
  cp "$jxl/LICENSE" "$prefix/LICENSE.jpeg-xl"
  cp "$jpegli_src/highway/LICENSE" "$prefix/LICENSE.highway"
}

# The stamp names the recipe and the libjpeg-turbo whose headers were used.
jpegli_ready() {
  local prefix=$1 stamp=$2
  [ "$(head -2 "$stamp" 2>/dev/null)" = "$(printf 'recipe=%s\nlibjpeg-turbo=%s' "$jpegli_recipe" \
      "$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev)")" ] \
    && [ -f "$prefix/lib/libjpegli-static.a" ] && [ -f "$prefix/lib/libhwy.a" ]
}

write_jpegli_stamp() {
  { echo "recipe=$jpegli_recipe"; echo "libjpeg-turbo=$(dpkg-query -W -f='${Version}' libjpeg62-turbo-dev)"
    cat "$jpegli_src/versions"; } >"$1"
}

build_native_jpegli() {
  local stamp="$TOLVANE_DEPS/native-jpegli.stamp" inc=/usr/include
  jpegli_ready "$TOLVANE_JPEGLI_PREFIX" "$stamp" && return
  fetch_jpegli_sources
  echo "setup: building jpegli natively ($(tr '\n' ' ' <"$jpegli_src/versions"))"
  build_jpegli "$TOLVANE_JPEGLI_PREFIX" "$jpegli_src/build-native" "$inc" \
    "$inc/$(gcc -print-multiarch)/jconfig.h"
  write_jpegli_stamp "$stamp"
  echo "setup: jpegli built natively: $(tr '\n' ' ' <"$jpegli_src/build-native/times")"
}

# For MinGW jpeg-xl's configure still insists on brotli and lcms2, which
# only libjxl uses: Debian 12's headers (lcms2's version is read from
# its header) and library names that are never linked satisfy it.
build_mingw_jpegli() {
  local stamp="$TOLVANE_DEPS/mingw-jpegli.stamp"
  jpegli_ready "$TOLVANE_MINGW_JPEGLI_PREFIX" "$stamp" && return
  fetch_jpegli_sources
  echo "setup: building jpegli for MinGW-w64 ($(tr '\n' ' ' <"$jpegli_src/versions"))"
  local jxl_args=(-DBROTLI_INCLUDE_DIR=/usr/include -DBROTLICOMMON_LIBRARY=brotli-not-linked
    -DBROTLIENC_LIBRARY=brotli-not-linked -DBROTLIDEC_LIBRARY=brotli-not-linked
    -DLCMS2_INCLUDE_DIR=/usr/include -DLCMS2_LIBRARY=lcms2-not-linked)
  build_jpegli "$TOLVANE_MINGW_JPEGLI_PREFIX" "$jpegli_src/build-mingw" "$TOLVANE_MINGW_PREFIX/include" \
    "$TOLVANE_MINGW_PREFIX/include/jconfig.h" -DCMAKE_TOOLCHAIN_FILE="$TOLVANE_ROOT/cmake/mingw-w64.cmake"
  write_jpegli_stamp "$stamp"
  echo "setup: jpegli built for MinGW-w64: $(tr '\n' ' ' <"$jpegli_src/build-mingw/times")"
}

# The reference ssimulacra2 for the tests: Debian 13's libjxl-devtools
# with the closure of its dependencies (trixie's libc6 among them),
# unpacked into a root of its own and started through that root's own
# dynamic loader, so nothing of Debian 12's is mixed in.
ssimulacra2_recipe=1
install_reference_ssimulacra2() {
  local root="$TOLVANE_DEPS/trixie-root" stamp="$TOLVANE_DEPS/trixie-root.stamp"
  local wrapper="$TOLVANE_DEPS/bin/ssimulacra2-reference" dl="$TOLVANE_DEPS/src-trixie-debs" start=$SECONDS
  if [ "$(head -1 "$stamp" 2>/dev/null)" = "recipe=$ssimulacra2_recipe" ] \
     && [ -x "$root/usr/bin/ssimulacra2" ] && [ -x "$wrapper" ]; then
    return
  fi
  setup_trixie_apt
  echo "setup: unpacking Debian 13's ssimulacra2 (libjxl-devtools) and its libraries into $root"
  local names
  names=$(trixie_apt apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
            --no-breaks --no-replaces --no-enhances libjxl-devtools | sed -n 's/^\([a-z0-9][^ <]*\)$/\1/p' | sort -u)
  rm -rf "$dl" "$root"
  mkdir -p "$dl" "$root" "$(dirname "$wrapper")"
  # shellcheck disable=SC2086 # one package name a word
  (cd "$dl" && trixie_apt apt-get download -qq $names >/dev/null)
  local deb
  for deb in "$dl"/*.deb; do dpkg-deb -x "$deb" "$root"; done
  cat >"$wrapper" <<'EOF'
#!/bin/sh
# Debian 13's ssimulacra2 through its own root's loader and libraries
# (scripts/setup.sh): ssimulacra2-reference ORIGINAL DISTORTED prints the score.
root=$(cd "$(dirname "$0")/../trixie-root" && pwd)
lib=$root/usr/lib/x86_64-linux-gnu
exec "$lib/ld-linux-x86-64.so.2" --library-path "$lib:$root/lib/x86_64-linux-gnu" "$root/usr/bin/ssimulacra2" "$@"
EOF
  chmod +x "$wrapper"
  { echo "recipe=$ssimulacra2_recipe"; (cd "$dl" && ls ./*.deb | sed 's|^\./||'); } >"$stamp"
  rm -rf "$dl"
  echo "setup: reference ssimulacra2 ready in $((SECONDS - start)) s: $wrapper"
}

install_packages
generate_locale
mkdir -p "$TOLVANE_DEPS"
build_mingw_libjpeg
build_mingw_liblzma
build_native_jpegli
build_mingw_jpegli
install_reference_ssimulacra2
"$here/wineprefix.sh" template
echo "setup: ready"
