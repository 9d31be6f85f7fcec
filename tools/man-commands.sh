#!/bin/sh
# Writes the COMMANDS section of krellon's manual page from each command's own --help.
# Usage: man-commands.sh KRELLON OUT
set -eu
krellon=$1
out=$2
{
  echo "[COMMANDS]"
  for command in info check render export import add replace remove rename move unpack pack dump build backups restore; do
    echo ".SS \"krellon $command\""
    echo ".nf"
    # Lines starting with a dot or a quote would read as roff requests.
    "$krellon" "$command" --help | sed -e 's/\\/\\\\/g' -e 's/^\([.'"'"']\)/\\\&\1/' \
      -e '/^Usage:/d'
    echo ".fi"
  done
} > "$out"
