#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Idempotent: each step checks what is already there and skips it.
#   - Debian packages (MinGW-w64, Wine, Xvfb, fonts, libjpeg-turbo, GoogleTest, clang, NSIS, CLI11,
#     and zip, dpkg-dev and groff for the release and its test)
#   - the ja_JP.UTF-8 locale, and en_US.UTF-8 and hi_IN.UTF-8 for the code-page tests
#   - libjpeg-turbo cross-built for MinGW from Debian's source package (with NASM SIMD),
#     and liblzma from xz-utils' (zlib for MinGW is Debian's libz-mingw-w64-dev)
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

install_packages
generate_locale
mkdir -p "$TOLVANE_DEPS"
build_mingw_libjpeg
build_mingw_liblzma
"$here/wineprefix.sh" template
echo "setup: ready"
