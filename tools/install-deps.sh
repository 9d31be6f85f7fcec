#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running the editor need, when missing.
# Runs apt-get through sudo unless we are root already.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libpng-dev imagemagick
  help2man man-db desktop-file-utils appstream libxml2-utils shared-mime-info libglib2.0-bin
  lintian dpkg-dev file
  fonts-dejavu-core fonts-liberation2
)
if [ "${1:-}" = "--gui-tools" ]; then
  packages+=(xvfb xauth imagemagick xdotool x11-utils)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo env DEBIAN_FRONTEND=noninteractive)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
