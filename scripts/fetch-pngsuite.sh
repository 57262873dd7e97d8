#!/usr/bin/env bash
# Fetches the PngSuite test images (Debian's libspng source package, under
# tests/images) into build/debian-src, where the PNG conformance test looks.
# Without network the test skips; this script then only warns.
root=$(cd "$(dirname "$0")/.." && pwd)
if folder=$("$root/scripts/fetch-debian-source.sh" libspng "$root/build/debian-src" 2>/dev/null | tail -n 1) &&
   [ -d "$folder/tests/images" ]; then
  echo "PngSuite: $folder/tests/images"
else
  echo "PngSuite could not be fetched; the conformance test will skip" >&2
fi
exit 0
