#!/usr/bin/env bash
# Installs everything the builds and tests need on Debian 12 (run as root).
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
pkgs=(cmake ninja-build g++ googletest libgtest-dev
      g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
      wine wine64 fonts-wine xvfb x11-apps imagemagick xauth
      clang python3 openssl)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
