#!/usr/bin/env bash
# Builds the static libjpeg-turbo (libjpeg 8 interface, SIMD) for one target
# from Debian's source package. Usage: build-deps.sh native|windows [DEPS_DIR]
# Installs into DEPS_DIR/<target>/ (default build/deps); a finished build is
# not repeated.
set -euo pipefail
target=$1
root=$(cd "$(dirname "$0")/.." && pwd)
deps=${2:-$root/build/deps}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
prefix="$deps/$target"
if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi
source_dir=$("$root/scripts/fetch-debian-source.sh" libjpeg-turbo "$deps/src" | tail -n 1)
build="$deps/build-libjpeg-$target"
rm -rf "$build"
args=(-S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DCMAKE_INSTALL_INCLUDEDIR="$prefix/include"
      -DWITH_JPEG8=1 -DENABLE_SHARED=0 -DENABLE_STATIC=1 -DWITH_TURBOJPEG=0 -DWITH_SIMD=1
      -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_POLICY_DEFAULT_CMP0091=NEW)
if [ "$target" = windows ]; then
  args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake")
fi
cmake "${args[@]}" >"$build.log" 2>&1 || { cat "$build.log"; exit 1; }
cmake --build "$build" >>"$build.log" 2>&1 || { tail -n 50 "$build.log"; exit 1; }
cmake --install "$build" >>"$build.log" 2>&1 || { tail -n 50 "$build.log"; exit 1; }
rm -rf "$build"
