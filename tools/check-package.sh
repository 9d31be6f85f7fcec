#!/usr/bin/env bash
# Checks the Debian package: its contents, its dependencies, both programs run from it, lintian.
# Usage: check-package.sh PACKAGE.deb DEMO_FOLDER
set -euo pipefail
deb=$1
demo=$2
echo "== contents of $(basename "$deb")"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
echo "$contents" | grep -v '/$'
missing=0
for path in \
  /usr/bin/krellon-editor \
  /usr/bin/krellon \
  /usr/share/applications/org.krellon.BoardEditor.desktop \
  /usr/share/metainfo/org.krellon.BoardEditor.metainfo.xml \
  /usr/share/mime/packages/krellon.xml \
  /usr/share/icons/hicolor/scalable/apps/org.krellon.BoardEditor.svg \
  /usr/share/icons/hicolor/16x16/apps/org.krellon.BoardEditor.png \
  /usr/share/icons/hicolor/24x24/apps/org.krellon.BoardEditor.png \
  /usr/share/icons/hicolor/32x32/apps/org.krellon.BoardEditor.png \
  /usr/share/icons/hicolor/48x48/apps/org.krellon.BoardEditor.png \
  /usr/share/icons/hicolor/64x64/apps/org.krellon.BoardEditor.png \
  /usr/share/icons/hicolor/128x128/apps/org.krellon.BoardEditor.png \
  /usr/share/icons/hicolor/256x256/apps/org.krellon.BoardEditor.png \
  /usr/share/man/man1/krellon.1.gz \
  /usr/share/man/man1/krellon-editor.1.gz \
  /usr/share/doc/krellon/copyright \
  /usr/share/doc/krellon/changelog.gz; do
  if ! grep -qx "$path" <<<"$contents"; then
    echo "missing from the package: $path" >&2
    missing=1
  fi
done
[ $missing -eq 0 ]

echo "== control"
dpkg-deb -f "$deb" Package Version Section Maintainer Depends
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6gui6' <<<"$depends" || { echo "Depends lacks Qt's GUI library: $depends" >&2; exit 1; }

echo "== both programs from the unpacked package"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/krellon" --version
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/krellon-editor" --version
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/krellon" info "$demo/Demo.bds"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  "$root/usr/bin/krellon" render "$demo/Demo.bds" -o "$root/board.png"
test -s "$root/board.png"

echo "== the file types as a desktop finds them"
cmake -DXML="$root/usr/share/mime/packages/krellon.xml" -DGAME_IMG="$demo/Bricks.img" \
  -DWORK="$root/mime-check" -P "$(dirname "$0")/check-mime-types.cmake"

echo "== the editor's manual page"
cmake -DMAN="$root/usr/share/man/man1/krellon-editor.1.gz" \
  -DKEYS="$(dirname "$0")/../data/keys-and-mouse.txt" -P "$(dirname "$0")/check-man-keys.cmake"

echo "== lintian"
# Errors fail the check; warnings are listed for the record.
lintian --tag-display-limit 0 --display-info "$deb" | tee "$root/lintian.txt" || true
if grep -q '^E:' "$root/lintian.txt"; then
  echo "lintian found errors" >&2
  exit 1
fi
echo "package checked"
