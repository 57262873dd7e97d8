#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root) and builds
# libjpeg-turbo, libwebp, libtiff and the HEIF decoders (libde265, dav1d,
# libheif) for both targets. Quick when everything is already there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
packages=(
  cmake ninja-build meson g++ clang libclang-rt-14-dev nasm dpkg-dev
  zlib1g-dev googletest
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine64 xvfb xauth
  # Wine's own fonts, Japanese glyphs under Wine, the help compiler
  fonts-wine fonts-ipafont-gothic fp-utils-3.2.2
  # independent decoders used by the conformance tests
  libjpeg-turbo-progs libtiff-tools webp python3 python3-pil libimage-exiftool-perl
  # the Windows installer of the release (scripts/package.sh)
  nsis
  # HEIC and AVIF encoders and decoders for the HEIF tests and benchmark
  libheif-examples libavif-bin
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then echo "run as root to install packages" >&2; exit 1; fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
"$root/scripts/build-deps.sh" native
"$root/scripts/build-deps.sh" windows
