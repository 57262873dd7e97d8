#!/usr/bin/env bash
# Builds the static third-party libraries for one target from Debian's source
# packages: libjpeg-turbo (libjpeg 8 interface, SIMD), libwebp (decoder and
# demux), libtiff (zlib and our libjpeg-turbo, no other codecs) and lcms2
# (colour management, no image libraries).
# Usage: build-deps.sh native|windows [DEPS_DIR]
# Installs into DEPS_DIR/<target>/ (default build/deps); a library that is
# already installed is not built again.
set -euo pipefail
target=$1
root=$(cd "$(dirname "$0")/.." && pwd)
deps=${2:-$root/build/deps}
mkdir -p "$deps"
deps=$(cd "$deps" && pwd)
prefix="$deps/$target"

# Configures, builds and installs one CMake source tree into the prefix.
build_one() {  # name, source dir, extra cmake args...
  local name=$1 source_dir=$2
  shift 2
  local build="$deps/build-$name-$target"
  rm -rf "$build"
  local args=(-S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
              -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR="$prefix/lib"
              -DCMAKE_INSTALL_INCLUDEDIR="$prefix/include"
              -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_POLICY_DEFAULT_CMP0091=NEW "$@")
  if [ "$target" = windows ]; then
    args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake")
  fi
  cmake "${args[@]}" >"$build.log" 2>&1 || { cat "$build.log"; exit 1; }
  cmake --build "$build" -j 2 >>"$build.log" 2>&1 || { tail -n 50 "$build.log"; exit 1; }
  cmake --install "$build" >>"$build.log" 2>&1 || { tail -n 50 "$build.log"; exit 1; }
  rm -rf "$build"
}

if [ ! -f "$prefix/lib/libjpeg.a" ] || [ ! -f "$prefix/include/jpeglib.h" ]; then
  source_dir=$("$root/scripts/fetch-debian-source.sh" libjpeg-turbo "$deps/src" | tail -n 1)
  build_one libjpeg "$source_dir" \
    -DWITH_JPEG8=1 -DENABLE_SHARED=0 -DENABLE_STATIC=1 -DWITH_TURBOJPEG=0 -DWITH_SIMD=1
fi

if [ ! -f "$prefix/lib/libwebp.a" ] || [ ! -f "$prefix/lib/libwebpdemux.a" ] ||
   [ ! -f "$prefix/include/webp/decode.h" ]; then
  source_dir=$("$root/scripts/fetch-debian-source.sh" libwebp "$deps/src" | tail -n 1)
  build_one libwebp "$source_dir" -DBUILD_SHARED_LIBS=OFF \
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF \
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF \
    -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_LIBWEBPMUX=OFF
fi

if [ ! -f "$prefix/lib/libtiff.a" ] || [ ! -f "$prefix/include/tiffio.h" ]; then
  source_dir=$("$root/scripts/fetch-debian-source.sh" tiff "$deps/src" | tail -n 1)
  build_one libtiff "$source_dir" -DBUILD_SHARED_LIBS=OFF \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
    -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dzlib=ON \
    -Djpeg=ON -DJPEG_INCLUDE_DIR="$prefix/include" -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" \
    -DCMAKE_DISABLE_FIND_PACKAGE_Deflate=ON -DCMAKE_DISABLE_FIND_PACKAGE_JBIG=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_LibLZMA=ON -DCMAKE_DISABLE_FIND_PACKAGE_ZSTD=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_WebP=ON -DCMAKE_DISABLE_FIND_PACKAGE_LERC=ON
fi

# lcms2 ships autotools, which cross-build for MinGW without a toolchain file;
# only the library and its headers are installed.
if [ ! -f "$prefix/lib/liblcms2.a" ] || [ ! -f "$prefix/include/lcms2.h" ]; then
  source_dir=$("$root/scripts/fetch-debian-source.sh" lcms2 "$deps/src" | tail -n 1)
  build="$deps/build-lcms2-$target"
  rm -rf "$build"
  mkdir -p "$build"
  configure_args=(--prefix="$prefix" --libdir="$prefix/lib" --includedir="$prefix/include"
                  --enable-static --disable-shared --without-jpeg --without-tiff --without-zlib
                  --with-pic)
  if [ "$target" = windows ]; then
    configure_args+=(--host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix)
  fi
  (cd "$build" && "$source_dir/configure" "${configure_args[@]}" CFLAGS="-O2") \
    >"$build.log" 2>&1 || { tail -n 50 "$build.log"; exit 1; }
  { make -C "$build/src" -j 2 install && make -C "$build/include" install; } \
    >>"$build.log" 2>&1 || { tail -n 50 "$build.log"; exit 1; }
  rm -rf "$build"
fi
