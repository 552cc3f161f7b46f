#!/usr/bin/env bash
# Builds a release from a clean tree into dist/:
#   tolvane-VERSION-win64.zip    tolvane.exe, tolvinst.exe, tolvpack.exe (stripped), the
#                                user guide README.txt and README-ja.txt, LICENSE.txt,
#                                THIRD-PARTY-NOTICES.txt, the NSIS and Inno Setup examples
#   tolvpack_VERSION_amd64.deb   the Linux tolvpack, its manual page and its notices
#   SHA256SUMS
# VERSION is the CMake project's. Two runs from the same commit, in any
# folders, give the same bytes: every time stamp is the commit's
# (SOURCE_DATE_EPOCH), no build path is left in the programs.
# Usage: scripts/release.sh [--allow-dirty]
# A tree with changes not committed is refused; --allow-dirty builds it
# anyway (with a warning: such files are not the commit's). Outside a git
# checkout (an unpacked source archive) SOURCE_DATE_EPOCH must be set.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
allow_dirty=
case "${1:-}" in
  --allow-dirty) allow_dirty=1 ;;
  "") ;;
  *) echo "usage: $0 [--allow-dirty]" >&2; exit 2 ;;
esac
# What the build needs, and zip, dpkg-dev and python3 for the packages.
"$here/setup.sh"
. "$here/env.sh"
cd "$TOLVANE_ROOT"
started=$SECONDS

if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$TOLVANE_ROOT" ]; then
  if [ -n "$(git status --porcelain)" ]; then
    if [ -z "$allow_dirty" ]; then
      git status --short >&2
      echo "release: the tree has changes not committed; commit them, or pass --allow-dirty" >&2
      exit 1
    fi
    echo "release: warning: changes not committed are built; this is not the commit's release" >&2
  fi
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
elif [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  echo "release: not a git checkout: set SOURCE_DATE_EPOCH to the source's date (seconds since 1970)" >&2
  exit 2
fi
# Nothing of this machine's clock, zone, language or umask in the files.
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8
umask 022
jobs=${TOLVANE_JOBS:-2}

echo "== release build: the Windows programs and the Linux tolvpack, in fresh folders"
rm -rf build/release dist
cmake --preset release-windows >/dev/null
cmake --build --preset release-windows -j "$jobs"
cmake --preset release-pack >/dev/null
cmake --build --preset release-pack -j "$jobs"
version=$(sed -n 's/^#define TOLVANE_VERSION "\(.*\)"$/\1/p' build/release/windows/generated/tolvane_version.h)
arch=$(dpkg --print-architecture)
mkdir -p dist

# Sets modes and times of everything under $1 as a release has them.
settle() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  find "$1" -type f \( -name '*.exe' -o -path '*/usr/bin/*' \) -exec chmod 0755 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

echo "== tolvane-$version-win64.zip"
name=tolvane-$version-win64
zipdir=build/release/zip/$name
mkdir -p "$zipdir"
for exe in workbench/tolvane.exe restorer/tolvinst.exe tolvpack/tolvpack.exe; do
  # strip writes SOURCE_DATE_EPOCH as the PE header's time.
  x86_64-w64-mingw32-strip --strip-all -o "$zipdir/${exe#*/}" "build/release/windows/$exe"
done
# Text for Notepad on any Windows: UTF-8 with a byte order mark, CR LF.
for_notepad() { printf '\357\273\277'; sed 's/$/\r/' "$1"; }
for_notepad packaging/README.txt >"$zipdir/README.txt"
for_notepad packaging/README-ja.txt >"$zipdir/README-ja.txt"
python3 scripts/notices.py zip "$version" build/release/THIRD-PARTY-NOTICES.txt
for_notepad build/release/THIRD-PARTY-NOTICES.txt >"$zipdir/THIRD-PARTY-NOTICES.txt"
sed 's/$/\r/' LICENSE >"$zipdir/LICENSE.txt"
cp examples/installer/installer.nsi examples/installer/installer.iss "$zipdir/"
settle "$zipdir"
(cd build/release/zip && find "$name" -type f | LC_ALL=C sort | zip -X -D -9 -q "$TOLVANE_ROOT/dist/$name.zip" -@)

echo "== tolvpack_${version}_$arch.deb"
# The layout debhelper uses, where dpkg-shlibdeps expects a package's files.
debdir=build/release/deb
pkg=$debdir/debian/tolvpack
mkdir -p "$pkg/DEBIAN" "$pkg/usr/bin" "$pkg/usr/share/man/man1" "$pkg/usr/share/doc/tolvpack"
touch "$debdir/debian/control"
strip --strip-all -o "$pkg/usr/bin/tolvpack" build/release/pack/tolvpack/tolvpack
python3 scripts/manpage.py "$pkg/usr/bin/tolvpack" | gzip -9n >"$pkg/usr/share/man/man1/tolvpack.1.gz"
python3 scripts/notices.py deb "$version" "$pkg/usr/share/doc/tolvpack/copyright"
depends=$(cd "$debdir" && dpkg-shlibdeps -O debian/tolvpack/usr/bin/tolvpack | sed -n 's/^shlibs:Depends=//p')
installed_kb=$(find "$pkg" -path "$pkg/DEBIAN" -prune -o -type f -printf '%s\n' | awk '{kb += int(($1 + 1023) / 1024)} END {print kb}')
cat >"$pkg/DEBIAN/control" <<EOF
Package: tolvpack
Version: $version
Architecture: $arch
Maintainer: The Tolvane authors
Installed-Size: $installed_kb
Depends: $depends
Section: graphics
Priority: optional
Description: ships pictures as JPEG files that tolvinst.exe restores
 tolvpack is Tolvane's console tool for build scripts and CI. "pack" makes
 a JPEG file of every BMP file of a folder and the list tvfile.txt that the
 Windows restorer tolvinst.exe turns back into the BMP files at install
 time; "check" rehearses that restore before shipping and measures what the
 JPEG quality costs; "restore" does what tolvinst.exe does, without a window.
EOF
settle "$pkg"
# One compressor thread: the same bytes on a machine with any number of cores.
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$pkg" "dist/tolvpack_${version}_$arch.deb" >/dev/null

(cd dist && sha256sum "$name.zip" "tolvpack_${version}_$arch.deb" >SHA256SUMS)
echo "== dist/ (release $version, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH, $((SECONDS - started)) s)"
ls -l dist
cat dist/SHA256SUMS
