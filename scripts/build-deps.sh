#!/usr/bin/env bash
# Builds the static third-party libraries for one target from Debian's source
# packages: libjpeg-turbo (libjpeg 8 interface, SIMD), libwebp (decoder and
# demux), libtiff (zlib and our libjpeg-turbo, no other codecs), lcms2
# (colour management, no image libraries), and the
# HEIF/AVIF decoders: libde265, dav1d and libheif (decoding only). On Windows
# libde265 and libheif (with dav1d inside) are DLLs the program loads when
# needed; natively all three are static.
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

# ---- HEIF and AVIF: libde265 (HEVC), dav1d (AV1) and libheif over both -------
# libheif and libde265 are LGPL: on Windows they stay separate DLLs beside the
# program (with the C++ runtime linked in, so they need nothing else); dav1d is
# linked into libheif.dll. Their licence texts and where their sources came
# from go to share/heif-libraries/, which the program's build copies beside
# Quillodex.exe.
heif_notes="$prefix/share/heif-libraries"
if [ "$target" = windows ]; then
  heif_shared=ON
  heif_done="$prefix/bin/libheif.dll"
  de265_done="$prefix/bin/libde265.dll"
  runtime_flags=(-DCMAKE_SHARED_LINKER_FLAGS="-static -Wl,--exclude-libs,ALL")
else
  heif_shared=OFF
  heif_done="$prefix/lib/libheif.a"
  de265_done="$prefix/lib/libde265.a"
  runtime_flags=()
fi

# Copies a source package's licence texts and notes where it came from.
note_source() {  # package, source dir, licence file
  local package=$1 source_dir=$2 licence=$3 version
  version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
  mkdir -p "$heif_notes"
  cp "$source_dir/$licence" "$heif_notes/$package-COPYING.txt"
  cp "$source_dir/debian/copyright" "$heif_notes/$package-copyright.txt"
  echo "- $package $version: Debian source package \"$package\", version $version" \
       "(apt-get source $package=$version; https://sources.debian.org/src/$package/$version/)" \
       >>"$heif_notes/heif-libraries-sources.txt.part"
  echo "== $package: Debian source $version" >&2
}

if [ ! -f "$heif_done" ] || [ ! -f "$heif_notes/heif-libraries-sources.txt" ]; then
  rm -f "$heif_notes/heif-libraries-sources.txt.part"
  de265_source=$("$root/scripts/fetch-debian-source.sh" libde265 "$deps/src" | tail -n 1)
  if [ ! -f "$de265_done" ]; then
    build_one libde265 "$de265_source" -DBUILD_SHARED_LIBS=$heif_shared "${runtime_flags[@]}" \
      -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
  fi
  note_source libde265 "$de265_source" COPYING

  dav1d_source=$("$root/scripts/fetch-debian-source.sh" dav1d "$deps/src" | tail -n 1)
  dav1d_build="$deps/build-dav1d-$target"
  rm -rf "$dav1d_build"
  dav1d_args=(--prefix "$prefix" --libdir lib --buildtype release --default-library static
              -Denable_tools=false -Denable_tests=false -Denable_examples=false -Denable_docs=false
              -Dlogging=false)
  if [ "$target" = windows ]; then
    dav1d_args+=(--cross-file "$root/cmake/mingw-w64-x86_64-meson.ini")
  else
    dav1d_args+=(-Db_staticpic=true)
  fi
  { meson setup "$dav1d_build" "$dav1d_source" "${dav1d_args[@]}" &&
    ninja -C "$dav1d_build" -j 2 && ninja -C "$dav1d_build" install; } >"$dav1d_build.log" 2>&1 ||
    { tail -n 50 "$dav1d_build.log"; exit 1; }
  rm -rf "$dav1d_build"
  note_source dav1d "$dav1d_source" COPYING

  heif_source=$("$root/scripts/fetch-debian-source.sh" libheif "$deps/src" | tail -n 1)
  if [ "$target" = windows ]; then
    de265_library="$prefix/lib/libde265.dll.a"
  else
    de265_library="$prefix/lib/libde265.a"
  fi
  build_one libheif "$heif_source" -DBUILD_SHARED_LIBS=$heif_shared "${runtime_flags[@]}" \
    -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF -DWITH_DEFLATE_HEADER_COMPRESSION=OFF \
    -DWITH_X265=OFF -DWITH_AOM_ENCODER=OFF -DWITH_AOM_DECODER=OFF -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF \
    -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF -DWITH_DAV1D=ON -DWITH_DAV1D_PLUGIN=OFF \
    -DLIBDE265_INCLUDE_DIR="$prefix/include" -DLIBDE265_LIBRARY="$de265_library" \
    -DDAV1D_INCLUDE_DIR="$prefix/include" -DDAV1D_LIBRARY="$prefix/lib/libdav1d.a" \
    -DPKG_CONFIG_EXECUTABLE=/bin/false
  note_source libheif "$heif_source" COPYING
  { echo "The HEIC and AVIF decoders beside this program are built unchanged from these"
    echo "Debian source packages (libheif and libde265 under the LGPL 3, dav1d under the"
    echo "BSD 2-clause licence; the texts are beside this file):"
    cat "$heif_notes/heif-libraries-sources.txt.part"
    echo "libheif.dll contains libheif and dav1d; libde265.dll contains libde265. Either"
    echo "can be replaced by a build of your own with the same interface."
  } >"$heif_notes/heif-libraries-sources.txt"
  rm -f "$heif_notes/heif-libraries-sources.txt.part"
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
