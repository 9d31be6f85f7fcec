#!/usr/bin/env bash
# The Windows build's krellon.exe, run under Wine, against the Linux build's krellon on the
# demo folder: every board of every set rendered in each display mode, with hidden bricks shown
# and hidden, to the same PNG bytes; dump to the same bytes, to a file and to standard output;
# info and check to the same text.
#
#   tools/windows-parity.sh LINUX_KRELLON WINE_RUN KRELLON_EXE WORK_FOLDER
set -euo pipefail
linux=$1
wine_run=$2
exe=$3
work=$4

rm -rf "$work"
mkdir -p "$work/demo"
"$(dirname "$linux")/krellon-demo" "$work/demo" >/dev/null
cd "$work/demo"

failures=0
same() {  # what, linux file, windows file
  if cmp -s "$2" "$3"; then
    echo "same: $1"
  else
    echo "DIFFERENT: $1 ($2, $3)"
    failures=$((failures + 1))
  fi
}

for set in *.bds; do
  for mode in textured half-bright black; do
    for hidden in "" --hide-hidden; do
      what="$set $mode${hidden:+ $hidden}"
      out="${set%.bds}-$mode${hidden}"
      "$linux" render "$set" --all --mode "$mode" $hidden -o "../linux-$out"
      "$wine_run" "$exe" render "$set" --all --mode "$mode" $hidden -o "../windows-$out"
      for png in "../linux-$out"/*.png; do
        same "$what $(basename "$png")" "$png" "../windows-$out/$(basename "$png")"
      done
      [ "$(ls "../linux-$out" | wc -l)" -eq "$(ls "../windows-$out" | wc -l)" ] ||
        { echo "DIFFERENT: $what: board count"; failures=$((failures + 1)); }
    done
  done
  "$linux" dump "$set" -o "../linux-${set%.bds}.json"
  "$wine_run" "$exe" dump "$set" -o "../windows-${set%.bds}.json"
  same "$set dump to a file" "../linux-${set%.bds}.json" "../windows-${set%.bds}.json"
  "$wine_run" "$exe" dump "$set" -o - >"../windows-${set%.bds}-stdout.json"
  same "$set dump to standard output" "../linux-${set%.bds}.json" \
    "../windows-${set%.bds}-stdout.json"
done
for command in info check; do
  "$linux" "$command" *.bds *.img >"../linux-$command.txt" 2>&1 || true
  "$wine_run" "$exe" "$command" *.bds *.img >"../windows-$command.txt" 2>&1 || true
  same "$command of every file" "../linux-$command.txt" "../windows-$command.txt"
done
[ "$failures" -eq 0 ] || { echo "$failures differences"; exit 1; }
