#!/usr/bin/env bash
# Fetches the third-party test images into build/debian-src, where the
# conformance tests look: the PngSuite (Debian's libspng source package, under
# tests/images) and libtiff's test images (Debian's tiff source package, under
# test/images). Never committed. Without network the tests skip; this script
# then only warns.
root=$(cd "$(dirname "$0")/.." && pwd)
fetch() {  # package, folder inside it, name
  local folder
  if folder=$("$root/scripts/fetch-debian-source.sh" "$1" "$root/build/debian-src" 2>/dev/null | tail -n 1) &&
     [ -d "$folder/$2" ]; then
    echo "$3: $folder/$2"
  else
    echo "$3 could not be fetched; its conformance test will skip" >&2
  fi
}
fetch libspng tests/images PngSuite
fetch tiff test/images "libtiff test images"
exit 0
