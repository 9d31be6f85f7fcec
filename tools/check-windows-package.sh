#!/usr/bin/env bash
# Checks the Windows packages of tools/windows-package.sh under Wine, in a Wine prefix of its
# own that it removes at the end: the zip's listing and its programs, then the installer quietly
# per user and for all users, each followed by its uninstaller, which must take away everything
# it installed and leave the user's own files.
#
#   tools/check-windows-package.sh [BUILD_DIR [DEMO_FOLDER]]      (`make windows-package-check`)
#
# BUILD_DIR defaults to build-windows. With DEMO_FOLDER (`make demo`'s) the programs also render
# a board, which loads Qt's platform plugin from where the package put it. One line per check;
# exits 1 if any failed.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$repo/build-windows}" && pwd)
demo=${2:-}
started=$SECONDS

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zipfile=$build/packages/krellon-$version-windows-x64.zip
setup=$build/packages/krellon-$version-setup.exe
top=krellon-$version-windows-x64
# What both packages must hold, and nothing more.
expected=(LICENSE.txt Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll README.txt krellon-editor.exe
          krellon.exe platforms/qoffscreen.dll platforms/qwindows.dll
          styles/qwindowsvistastyle.dll)
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Krellon'

passed=0 failed=0 skipped=0
work=$(mktemp -d /tmp/krellon-winpkg.XXXXXX)
log=$work/last.log
ok() { echo "ok - $*"; passed=$((passed + 1)); }
bad() { echo "FAIL - $*"; failed=$((failed + 1)); }
skip() { echo "skip - $1: $2"; skipped=$((skipped + 1)); }
# check WHAT COMMAND...: the command's output is shown only when it fails.
check() {
  local what=$1; shift
  if "$@" >"$log" 2>&1; then ok "$what"; else bad "$what"; tail -n 20 "$log" | sed 's/^/    /'; fi
}
# same WHAT EXPECTED ACTUAL
same() {
  if [ "$2" = "$3" ]; then ok "$1"; else bad "$1"; printf '    expected: %s\n    got:      %s\n' "$2" "$3"; fi
}

# Wine of our own: a fresh prefix, no display (a quiet install needs none), no offer to fetch
# Mono or Gecko. Not the toolchain's wine-run: it puts Qt's folder on the path, which would
# hide a library missing from a package.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset DISPLAY WAYLAND_DISPLAY WINEPATH
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

[ -f "$zipfile" ] && [ -f "$setup" ] || { echo "no packages in $build/packages: make windows-package" >&2; exit 1; }
echo "== $(basename "$zipfile") ($(du -h "$zipfile" | cut -f1)), $(basename "$setup") ($(du -h "$setup" | cut -f1))"
mkdir -p "$WINEPREFIX"
wine wineboot --init >/dev/null 2>&1 || true
wineserver -w
check "a fresh Wine prefix" test -f "$WINEPREFIX/system.reg"

winenv() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
unixpath() { winepath -u "$1" 2>/dev/null | tr -d '\r' | sed 's|/$||'; }
# A registry value as text; NAME "" is the key's default value.
regval() {
  local out
  if [ -z "$2" ]; then out=$(wine reg query "$1" /ve 2>/dev/null) || true
  else out=$(wine reg query "$1" /v "$2" 2>/dev/null) || true; fi
  printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    \{0,1\}//p' | head -n1
}
regabsent() { ! wine reg query "$1" >/dev/null 2>&1; }
# The files under a folder, one relative path a line, sorted.
listing() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
expected_listing() { printf '%s\n' "${expected[@]}" "$@" | LC_ALL=C sort; }
# Program output with Windows line ends undone.
run() { wine "$@" 2>&1 | tr -d '\r'; }

# Where each mode installs, and its Start menu.
user_dir="$(winenv LOCALAPPDATA)\\Programs\\Krellon"
all_dir="$(winenv ProgramW6432)\\Krellon"
user_menu="$(winenv APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs"
all_menu="$(winenv ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs"
setup_win=$(winepath -w "$setup" | tr -d '\r')
shortcut="Krellon Boards Editor.lnk"

profile=$(winenv USERPROFILE)
documents="$profile\\Documents"
mkdir -p "$(unixpath "$documents")"
# The user's own files outside the install: the demo set if there is one, else a note.
mine=$(unixpath "$documents")/krellon
mkdir -p "$mine"
if [ -n "$demo" ] && [ -f "$demo/Demo.bds" ]; then
  cp "$demo"/*.bds "$demo"/*.img "$mine/"
  set_file="$documents\\krellon\\Demo.bds"
else
  echo "my notes" >"$mine/notes.txt"
  set_file=
fi
mine_sums=$(cd "$mine" && sha256sum -- *)

# render FOLDER_WINDOWS WHAT: a board rendered by that folder's krellon.exe.
render() {
  if [ -z "$set_file" ]; then
    skip "$2 renders a board" "no demo folder given (make demo makes one)"
    return
  fi
  local png="$documents\\board.png"
  rm -f "$(unixpath "$png")"
  # Quietly: no note from Qt about fonts or plugins on the way.
  check "$2 renders a board (Qt's platform plugin found), saying nothing" \
    bash -c 'err=$(wine "$1\\krellon.exe" render "$2" -o "$3" 2>&1 >/dev/null) && test -z "$err" && test -s "$4"' \
    _ "$1" "$set_file" "$png" "$(unixpath "$png")"
  rm -f "$(unixpath "$png")"
}

# The editor's process in our prefix, as "PID" (Windows', decimal), or nothing.
editor_pid() {
  local hex
  hex=$(winedbg --command "info proc" 2>/dev/null | tr -d '\r' |
        sed -n "s/^[ =]\([0-9a-f]\{8\}\) .*'krellon-editor\.exe'\$/\1/p" | head -n1)
  [ -z "$hex" ] || echo $((16#$hex))
}

# What Explorer does on a double-click (ShellExecute through HKEY_CLASSES_ROOT) must start the
# editor on the set; it draws into memory here, there being no display. It is then stopped.
# EDITOR is the installed editor's Windows path.
double_click() {
  if [ -z "$set_file" ]; then
    skip "a double-click on a .bds opens the editor" "no demo folder given (make demo makes one)"
    return
  fi
  same "assoc .bds" ".bds=Krellon.BoardSet" "$(wine cmd /c assoc .bds 2>/dev/null | tr -d '\r')"
  same "ftype Krellon.BoardSet" "Krellon.BoardSet=\"$1\" \"%1\"" \
    "$(wine cmd /c ftype Krellon.BoardSet 2>/dev/null | tr -d '\r')"
  WINEQT_QPA_PLATFORM=offscreen wine start "$set_file" >"$log" 2>&1 || true
  local pid= i
  for i in $(seq 20); do
    pid=$(editor_pid)
    [ -z "$pid" ] || break
    sleep 1
  done
  if [ -n "$pid" ]; then
    sleep 2
    check "a double-click on a .bds starts the editor, which stays up" test -n "$(editor_pid)"
    wine taskkill /f /pid "$pid" >/dev/null 2>&1 || true
    for i in $(seq 10); do [ -n "$(editor_pid)" ] || break; sleep 1; done
  else
    bad "a double-click on a .bds starts the editor"
    sed 's/^/    /' "$log"
  fi
}

echo "== the zip"
check "the zip is whole" unzip -tq "$zipfile"
entries=$(unzip -Z1 "$zipfile")
same "everything is under $top/" "" "$(grep -v "^$top/" <<<"$entries" || true)"
same "the zip holds exactly the expected files" "$(expected_listing | sed "s|^|$top/|")" \
  "$(grep -v '/$' <<<"$entries" | LC_ALL=C sort)"
unzip -q "$zipfile" -d "$work/zip"
unpacked=$work/zip/$top
not_stripped=
for f in "${expected[@]}"; do
  case $f in
    *.exe|*.dll)
      if ! x86_64-w64-mingw32-nm "$unpacked/$f" 2>&1 | grep -q 'no symbols'; then not_stripped+=" $f"; fi ;;
  esac
done
same "the programs and DLLs are stripped" "" "$not_stripped"
check "README.txt has Windows line ends" grep -q $'\r$' "$unpacked/README.txt"
check "LICENSE.txt is the licence" grep -q 'Permission is hereby granted' "$unpacked/LICENSE.txt"
same "krellon.exe --version from the zip" "krellon $version" "$(run "$unpacked/krellon.exe" --version)"
same "krellon-editor.exe --version from the zip" "krellon-editor $version" \
  "$(run "$unpacked/krellon-editor.exe" --version)"
render "$(winepath -w "$unpacked" | tr -d '\r')" "krellon.exe from the zip"

# One install and uninstall. MODE: user or all.
install_round() {
  local mode=$1 hive classes menu dir switch other_hive other_dir
  if [ "$mode" = user ]; then
    hive=HKCU other_hive=HKLM switch= dir=$user_dir other_dir=$all_dir menu=$user_menu
  else
    hive=HKLM other_hive=HKCU switch=/ALLUSERS dir=$all_dir other_dir=$user_dir menu=$all_menu
  fi
  classes="$hive\\Software\\Classes"
  local udir umenu editor lnk
  udir=$(unixpath "$dir") umenu=$(unixpath "$menu")
  editor="$dir\\krellon-editor.exe"
  lnk="$umenu/$shortcut"

  echo "== install /S $switch (into $dir)"
  check "the installer ends well" wine "$setup_win" /S $switch
  same "the install folder holds exactly the files and the uninstaller" \
    "$(expected_listing uninstall.exe)" "$(listing "$udir" 2>/dev/null || true)"
  check "nothing in the other mode's folder" test ! -e "$(unixpath "$other_dir")"
  check "the Start menu shortcut" test -f "$lnk"
  # A shell link keeps its paths as UTF-16 text.
  check "the shortcut starts the installed editor" bash -c 'strings -el "$1" | grep -qF "$2"' _ "$lnk" "$editor"
  check "the shortcut starts it in the user's folder" bash -c 'strings -el "$1" | grep -qxF "%USERPROFILE%"' _ "$lnk"
  same "uninstall entry: DisplayName" "Krellon Boards Editor" "$(regval "$hive\\$uninstall_key" DisplayName)"
  same "uninstall entry: DisplayVersion" "$version" "$(regval "$hive\\$uninstall_key" DisplayVersion)"
  same "uninstall entry: Publisher" "The Krellon Team" "$(regval "$hive\\$uninstall_key" Publisher)"
  same "uninstall entry: DisplayIcon" "$editor,0" "$(regval "$hive\\$uninstall_key" DisplayIcon)"
  same "uninstall entry: InstallLocation" "$dir" "$(regval "$hive\\$uninstall_key" InstallLocation)"
  same "uninstall entry: UninstallString" "\"$dir\\uninstall.exe\"" \
    "$(regval "$hive\\$uninstall_key" UninstallString)"
  local quiet
  quiet=$(regval "$hive\\$uninstall_key" QuietUninstallString)
  same "uninstall entry: QuietUninstallString" "\"$dir\\uninstall.exe\" /S" "$quiet"
  same "uninstall entry: NoModify, NoRepair" "0x1 0x1" \
    "$(regval "$hive\\$uninstall_key" NoModify) $(regval "$hive\\$uninstall_key" NoRepair)"
  local size
  size=$(regval "$hive\\$uninstall_key" EstimatedSize)
  check "uninstall entry: EstimatedSize ($((size)) KB)" test "$((size))" -gt 10000
  same ".bds opens as Krellon.BoardSet" "Krellon.BoardSet" "$(regval "$classes\\.bds" "")"
  same ".img opens as Krellon.ImageFile" "Krellon.ImageFile" "$(regval "$classes\\.img" "")"
  local progid
  for progid in Krellon.BoardSet Krellon.ImageFile; do
    same "$progid opens in the editor" "\"$editor\" \"%1\"" \
      "$(regval "$classes\\$progid\\shell\\open\\command" "")"
    same "$progid has the editor's icon" "$editor,0" "$(regval "$classes\\$progid\\DefaultIcon" "")"
    check "$progid has a name" test -n "$(regval "$classes\\$progid" "")"
  done
  check "nothing under $other_hive" regabsent "$other_hive\\$uninstall_key"
  check "no file types under $other_hive" regabsent "$other_hive\\Software\\Classes\\Krellon.BoardSet"
  if [ "$mode" = user ]; then
    skip "a double-click on a .bds opens the editor" \
      "Wine 8's HKEY_CLASSES_ROOT leaves out the user's Software\\Classes; the keys are checked above"
  else
    double_click "$editor"
  fi
  same "the installed krellon.exe runs" "krellon $version" "$(run "$dir\\krellon.exe" --version)"
  render "$dir" "the installed krellon.exe"

  # A board set the user saved into the install folder; it must outlive the uninstall.
  printf 'saved by hand\r\n' >"$udir/Mine.bds"

  echo "== uninstall"
  if [ "$mode" = user ]; then
    # _?= runs the uninstaller where it is and waits for it; it cannot delete itself then, and
    # whoever ran it removes it, as NSIS documents.
    check "the uninstaller (_?=) ends well" wine "$dir\\uninstall.exe" /S "_?=$dir"
    same "left in the install folder: the user's file and the running uninstaller" \
      "$(printf '%s\n' Mine.bds uninstall.exe)" "$(listing "$udir" 2>/dev/null || true)"
    rm -f "$udir/uninstall.exe"
  else
    # As Settings runs it: the command line of QuietUninstallString. The uninstaller copies
    # itself to a temporary folder and returns at once; Wine's server ends when it has.
    local exe=${quiet#\"}
    exe=${exe%%\"*}
    check "the uninstaller (QuietUninstallString) ends well" wine "$exe" /S
    wineserver -w
    same "left in the install folder: the user's file alone" "Mine.bds" "$(listing "$udir" 2>/dev/null || true)"
  fi
  check "the user's file is untouched" grep -q 'saved by hand' "$udir/Mine.bds"
  check "the user's files elsewhere are untouched" \
    bash -c 'cd "$1" && sha256sum -c --quiet <<<"$2"' _ "$mine" "$mine_sums"
  check "the Start menu shortcut is gone" test ! -e "$lnk"
  check "the uninstall entry is gone" regabsent "$hive\\$uninstall_key"
  local key
  for key in .bds .img Krellon.BoardSet Krellon.ImageFile; do
    check "$classes\\$key is gone" regabsent "$classes\\$key"
  done
  # Ready for the next round: as if the user had moved their file away.
  rm -f "$udir/Mine.bds"
  rmdir "$udir"
}

install_round user
# Wine's user is an administrator, with no UAC prompt: the all-users install runs as it does on
# Windows once elevated.
install_round all

# A user may have both; each uninstaller must keep to its own install.
echo "== both installs at once"
check "the per-user install ends well" wine "$setup_win" /S
check "the all-users install ends well" wine "$setup_win" /S /ALLUSERS
check "the all-users uninstaller ends well" wine "$all_dir\\uninstall.exe" /S
wineserver -w
check "the all-users install is gone" test ! -e "$(unixpath "$all_dir")"
check "its uninstall entry is gone" regabsent "HKLM\\$uninstall_key"
same "the per-user install is whole" "$(expected_listing uninstall.exe)" \
  "$(listing "$(unixpath "$user_dir")" 2>/dev/null || true)"
same "the per-user uninstall entry stays" "$user_dir" "$(regval "HKCU\\$uninstall_key" InstallLocation)"
same "the per-user file type stays" "\"$user_dir\\krellon-editor.exe\" \"%1\"" \
  "$(regval 'HKCU\Software\Classes\Krellon.BoardSet\shell\open\command' "")"
check "the per-user shortcut stays" test -f "$(unixpath "$user_menu")/$shortcut"
check "the per-user uninstaller ends well" wine "$user_dir\\uninstall.exe" /S
wineserver -w
check "the per-user install is gone" test ! -e "$(unixpath "$user_dir")"
check "its uninstall entry is gone" regabsent "HKCU\\$uninstall_key"
check "its shortcut is gone" test ! -e "$(unixpath "$user_menu")/$shortcut"

echo "== $((SECONDS - started)) s"
echo "windows-package-check: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
