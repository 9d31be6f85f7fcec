#!/usr/bin/env bash
# Packs the Windows build for users: a zip to unpack anywhere and an NSIS installer.
#
#   tools/windows-package.sh [BUILD_DIR]     (default: build-windows; `make windows-package`)
#
# BUILD_DIR must hold a built krellon-editor, krellon and krellon_windows_runtime. Writes
#   BUILD_DIR/packages/krellon-VERSION-windows-x64.zip
#   BUILD_DIR/packages/krellon-VERSION-setup.exe
# from one staged copy (cmake --install, stripped, README.txt and LICENSE.txt added), so the
# two hold the same files. VERSION is the CMake project's.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$repo/build-windows}" && pwd)
strip=x86_64-w64-mingw32-strip
say() { echo "windows-package: $*"; }
die() { echo "windows-package: $*" >&2; exit 1; }

for tool in cmake "$strip" makensis zip; do
  command -v "$tool" >/dev/null || die "$tool is missing (tools/build-windows-qt.sh packages installs it)"
done
[ -f "$build/CMakeCache.txt" ] || die "$build is not a configured build folder"

# The version the build was configured with, else the one CMakeLists.txt declares.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  version=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt" | head -n1)
fi
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "no version found (got '$version')"

name=krellon-$version-windows-x64
out=$build/packages
work=$out/work
stage=$work/$name
zipfile=$out/$name.zip
setup=$out/krellon-$version-setup.exe
icon=$build/src/app/krellon.ico
[ -f "$icon" ] || die "$icon is missing: build krellon-editor first"

# The commit's time stands for every time the packages hold: strip and makensis stamp their
# output with it rather than with the clock.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$repo" log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH

rm -rf "$work" "$zipfile" "$setup"
mkdir -p "$work"

say "staging $name"
cmake --install "$build" --prefix "$stage" >"$work/install.log"
for f in krellon-editor.exe krellon.exe Qt6Core.dll; do
  [ -f "$stage/$f" ] || die "$f was not installed (see $work/install.log)"
done
# Qt's DLLs come unstripped from the toolchain cache, four times their stripped size.
# A DLL's exports live in its export table, not in the symbols strip takes away.
find "$stage" -type f \( -name '*.exe' -o -name '*.dll' \) -exec "$strip" --strip-all {} +
# Text for Notepad: CRLF line ends.
sed 's/\r\{0,1\}$/\r/' "$repo/README.md" >"$stage/README.txt"
# Ours, then the licences of what the programs carry: Qt's DLLs (LGPL 3, which builds on the
# GPL 3), the DejaVu Sans the placeholder sign is drawn in, and libpng linked in.
qt_licences=${KRELLON_CACHE:-$HOME/.cache/krellon}/qt-6.4.2-mingw/src/qtbase/LICENSES
for f in "$qt_licences/LGPL-3.0-only.txt" "$qt_licences/GPL-3.0-only.txt" \
  /usr/share/doc/fonts-dejavu-core/copyright; do
  [ -f "$f" ] || die "$f is missing (tools/build-windows-qt.sh and install-deps.sh bring it)"
done
{
  cat "$repo/data/copyright"
  printf '\n%s\n\n' "------------------------------------------------------------------------------"
  cat <<'NOTE'
The program folder holds Qt 6.4.2 (Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll and the plugins in
platforms/ and styles/), Copyright (C) The Qt Company Ltd. and other contributors, used under
the GNU Lesser General Public License version 3, whose text follows with the GNU General Public
License version 3 it builds on. It was built unchanged from Debian's qt6-base 6.4.2+dfsg source
package (https://sources.debian.org/src/qt6-base/6.4.2+dfsg-10/), with Debian's patches; you
may replace these DLLs with your own build of the same Qt version.

The programs carry the DejaVu Sans font (licence below) and libpng (http://www.libpng.org/).
NOTE
  for f in "$qt_licences/LGPL-3.0-only.txt" "$qt_licences/GPL-3.0-only.txt" \
    /usr/share/doc/fonts-dejavu-core/copyright; do
    printf '\n%s\n\n' "------------------------------------------------------------------------------"
    cat "$f"
  done
} | sed 's/\r\{0,1\}$/\r/' >"$stage/LICENSE.txt"

# The same bytes for the same commit: file times from the commit, files in a fixed order.
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
files=$(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)

say "zip"
(cd "$work" && printf '%s\n' "$name/" && find "$name" -mindepth 1 -type d | LC_ALL=C sort |
   sed 's|$|/|' && printf '%s\n' "$files" | sed "s|^|$name/|") |
  (cd "$work" && zip -q -X -9 "$zipfile" -@)

# The installer's file list: each file put into its folder, and removed again file by file,
# the folders after (deepest first) and only if empty.
list=$work/files.nsh
{
  echo "; Made by tools/windows-package.sh from $name."
  echo '!macro KRELLON_INSTALL_FILES'
  outdir=
  while IFS= read -r f; do
    dir=$(dirname "$f")
    if [ "$dir" != "$outdir" ]; then
      if [ "$dir" = . ]; then echo '  SetOutPath "$INSTDIR"'; else echo "  SetOutPath \"\$INSTDIR\\${dir//\//\\}\""; fi
      outdir=$dir
    fi
    echo "  File \"$stage/$f\""
  done < <(printf '%s\n' "$files" | awk -F/ '{ print NF "\t" $0 }' | LC_ALL=C sort -k1,1n -k2 | cut -f2)
  echo '!macroend'
  echo '!macro KRELLON_REMOVE_FILES'
  printf '%s\n' "$files" | sed 's|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
  (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | awk -F/ '{ print NF "\t" $0 }' |
     LC_ALL=C sort -k1,1nr -k2 | cut -f2 | sed 's|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|')
  echo '!macroend'
} >"$list"

say "installer"
installed_kb=$(du -sk --apparent-size "$stage" | cut -f1)
makensis -V2 -INPUTCHARSET UTF8 \
  -DVERSION="$version" -DSTAGE="$stage" -DFILE_LIST="$list" -DICON="$icon" \
  -DINSTALLED_KB="$installed_kb" -DOUTFILE="$setup" \
  "$repo/data/windows/krellon.nsi" >"$work/makensis.log" ||
  { cat "$work/makensis.log" >&2; die "makensis failed"; }

say "$(du -h "$zipfile" | cut -f1)  $zipfile"
say "$(du -h "$setup" | cut -f1)  $setup"
