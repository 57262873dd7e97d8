#!/usr/bin/env bash
# WebP outputs are the same bytes whoever writes them: the native quillodex
# with one worker and with four, and Quillodex.exe under Wine, given the same
# settings and the same files. Three presets write WebP: within a size limit
# (the quality search), lossy at a quality with transparency kept, and
# lossless; the photo carries Exif, which all three keep.
# Arguments: the native quillodex, the folder of Quillodex.exe and
# English.dll, the script that runs a Windows program under Wine.
. "$(dirname "$0")/native_and_wine.sh"
mkdir -p "$work/inputs"

# A photo with camera details, and a palette picture with a transparent colour.
/usr/bin/python3 - "$work/inputs" <<'EOF'
import sys
from PIL import Image
folder = sys.argv[1]
size = (1000, 750)
shade = Image.merge("RGB", (Image.linear_gradient("L").resize(size),
                            Image.radial_gradient("L").resize(size),
                            Image.linear_gradient("L").rotate(90).resize(size)))
noise = Image.effect_noise(size, 40).convert("RGB")
photo = Image.blend(shade, noise, 0.25)
exif = Image.Exif()
exif[0x010F] = "Phonemaker"
exif[0x0110] = "Phone 12"
exif[0x8769] = {0x9003: "2024:05:17 14:03:22"}
photo.save(f"{folder}/photo.jpg", quality=92, exif=exif.tobytes())
palette = Image.new("P", (300, 200))
palette.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 16, (i * 37) % 256)])
palette.putdata([(x // 10 + y // 7) % 16 for y in range(200) for x in range(300)])
palette.save(f"{folder}/palette.png", transparency=3)
EOF

(cd "$work" && XDG_CONFIG_HOME="$work/config" HOME="$work" "$native" \
  --set preset1.outputFormat=webp --set preset1.maxFileSizeKiB=40 \
  --set preset2.outputFormat=webp --set preset2.suffix=_q75 --set preset2.keepTransparency=1 \
  --set preset3.outputFormat=webp --set preset3.suffix=_lossless --set preset3.webpLossless=1 \
  --set multiDropSelection=1,2,3 --set keepMetadata=2)
settings="$work/config/Quillodex/Quillodex.ini"

for side in jobs1 jobs4 windows; do cp -r "$work/inputs" "$work/$side"; done
for jobs in 1 4; do
  (cd "$work" && XDG_CONFIG_HOME="$work/config" HOME="$work" "$native" --quiet --jobs "$jobs" \
    "$work/jobs$jobs/photo.jpg" "$work/jobs$jobs/palette.png")
done
cp "$bin/Quillodex.exe" "$bin/English.dll" "$work/install/"
cp "$settings" "$work/install/Quillodex.ini"
(cd "$work/install" && "$wine_run" "$work/install/Quillodex.exe" \
  "Z:$work/windows/photo.jpg" "Z:$work/windows/palette.png") || true

outputs() { (cd "$1" && find . -type f -name '*.webp' | sort); }
expected=$(outputs "$work/jobs1")
if [ "$(wc -l <<<"$expected")" -ne 6 ]; then
  echo "expected six WebP outputs, the native run with one worker wrote:" >&2
  echo "$expected" >&2
  exit 1
fi
# Each kind the comparison is meant to cover is there: Exif in the photo's
# three files, the lossless ones (palette pictures always are), the limit met.
covered=1
for file in Output/photo_800x600.webp photo_q75.webp photo_lossless.webp; do
  grep -q -a EXIF "$work/jobs1/$file" || covered=0
done
for file in photo_lossless.webp palette_q75.webp; do
  grep -q -a VP8L "$work/jobs1/$file" || covered=0
done
[ "$(stat -c %s "$work/jobs1/Output/photo_800x600.webp")" -le $((40 * 1024)) ] || covered=0
if [ "$covered" -eq 0 ]; then
  echo "the outputs are not the lossy, lossless and size-limited files this test compares" >&2
  exit 1
fi
status=0
for side in jobs4 windows; do
  if [ "$(outputs "$work/$side")" != "$expected" ]; then
    echo "$side wrote other files:" >&2
    outputs "$work/$side" >&2
    status=1
    continue
  fi
  while read -r file; do
    cmp -s "$work/jobs1/$file" "$work/$side/$file" || { echo "$side: $file differs" >&2; status=1; }
  done <<<"$expected"
done
[ "$status" -eq 0 ] && echo "six WebP outputs, the same bytes with one worker, with four and under Wine"
exit $status
