#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  googletest libgtest-dev libgmock-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64
  xvfb xauth x11-utils xdotool imagemagick
  wixl msitools unzip
  fonts-dejavu-core procps
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
