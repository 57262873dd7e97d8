#!/usr/bin/env bash
# Sets everything up and does the program's main job: converts a few sample
# photos (made here) with the default presets, once through the native command
# line and once through Quillodex.exe under Wine, and shows where the outputs went.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
echo "== building"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQDX_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs" --target quillodex >/dev/null
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/windows -j "$jobs" --target Quillodex >/dev/null

work=build/main-job
rm -rf "$work"
mkdir -p "$work/samples" "$work/config"
echo "== making sample photos"
python3 scripts/make-samples.py "$work/samples"
for ppm in "$work"/samples/*.ppm; do
  cjpeg -quality 90 -sample 2x2 "$ppm" > "${ppm%.ppm}.jpg"
  rm "$ppm"
done
cp -r "$work/samples" "$work/native"
cp -r "$work/samples" "$work/windows"
sleep 1
touch "$work/.started"

echo "== native command line: default presets, fresh settings"
XDG_CONFIG_HOME="$root/$work/config" build/release/bin/quillodex "$work"/native/*.jpg "$work"/native/*.bmp || true

echo "== Quillodex.exe under Wine: default presets, portable settings beside the program"
mkdir -p "$work/program"
cp build/windows/bin/Quillodex.exe build/windows/bin/English.dll build/windows/bin/Japanese.dll "$work/program/"
: > "$work/program/Quillodex.ini"
args=()
for f in "$work"/windows/*.jpg "$work"/windows/*.bmp; do args+=("Z:$root/$f"); done
scripts/wine-run.sh "$work/program/Quillodex.exe" "${args[@]}" || true

echo "== outputs"
for side in native windows; do
  echo "-- $side:"
  (cd "$work/$side" && find . -type f -newer ../.started | sort | while read -r f; do
     printf '   %-40s %8d bytes\n' "$f" "$(stat -c %s "$f")"; done)
done
same=0; differ=0
for f in $(cd "$work/native" && find . -type f -newer ../.started); do
  if cmp -s "$work/native/$f" "$work/windows/$f"; then same=$((same + 1)); else differ=$((differ + 1)); echo "   differs: $f"; fi
done
echo "native and Windows outputs: $same identical, $differ different"
# The outputs are pinned: any change in their bytes shows here.
recorded=tests/data/main-job/outputs.sha256
if (cd "$work/native" && sha256sum --quiet -c "$root/$recorded"); then
  echo "native outputs match $recorded ($(wc -l <"$recorded") files)"
else
  echo "native outputs differ from $recorded"
  differ=$((differ + 1))
fi
echo "Outputs are in $root/$work/native and $root/$work/windows."
[ "$differ" -eq 0 ]
