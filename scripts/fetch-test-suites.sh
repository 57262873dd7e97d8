#!/usr/bin/env bash
# Fetches the third-party test images into build/debian-src, where the
# conformance tests look: the PngSuite (Debian's libspng source package, under
# tests/images), libtiff's test images (Debian's tiff source package, under
# test/images), BMP Suite's good files and Pillow's WebP images (Debian's
# pillow source package) and libwebp's WebP images (Debian's libwebp source
# package), and makes HEIC and AVIF files with Debian's encoders. Then decodes
# the BMP, WebP, TIFF and HEIF images with independent decoders (Pillow, dwebp,
# tiff2rgba, heif-convert) into build/test-refs, which the tests of both
# targets compare with. Never committed. Without network the tests skip;
# this script then only warns.
root=$(cd "$(dirname "$0")/.." && pwd)
fetched=
fetch() {  # package, folder inside it, name
  local folder
  fetched=
  if folder=$("$root/scripts/fetch-debian-source.sh" "$1" "$root/build/debian-src" 2>/dev/null | tail -n 1) &&
     [ -d "$folder/$2" ]; then
    echo "$3: $folder/$2"
    fetched="$folder/$2"
  else
    echo "$3 could not be fetched; its conformance test will skip" >&2
  fi
}
refs="$root/build/test-refs"
reference() {  # suite, folders...
  [ $# -gt 1 ] || return 0
  /usr/bin/python3 "$root/scripts/make-test-references.py" "$refs" "$@" ||
    echo "references for $1 could not be made; its conformance test will skip" >&2
}
fetch libspng tests/images PngSuite
fetch tiff test/images "libtiff test images"
reference tiff $fetched
fetch pillow Tests/images "Pillow test images"
pillow=$fetched
[ -n "$pillow" ] && reference bmp "$pillow/bmp/g"
fetch libwebp examples "libwebp test images"
webp=$fetched
reference webp $pillow ${webp:+"$webp" "$(dirname "$webp")/webp_js"}
# HEIC and AVIF files made here with Debian's encoders, decoded by heif-convert.
/usr/bin/python3 "$root/scripts/make-heif-fixtures.py" "$root/build/heif-fixtures" "$refs/heif.txt" ||
  echo "the HEIF test files could not be made; their test fails" >&2
exit 0
