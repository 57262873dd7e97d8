#!/usr/bin/env bash
# Packing the same build a second time gives the same zip and installer,
# byte for byte. Arguments: the folder of the first packing, a folder for the
# second, then the packing command (without its output folder).
set -euo pipefail
first=$1
second=$2
shift 2
rm -rf "$second"
"$@" "$second" >/dev/null
status=0
for file in "$first"/*.zip "$first"/*-setup.exe; do
  if ! cmp "$file" "$second/$(basename "$file")"; then
    status=1
  else
    echo "same bytes: $(basename "$file") ($(stat -c %s "$file") bytes)"
  fi
done
exit $status
