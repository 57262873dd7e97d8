#!/usr/bin/env bash
# A settings file written by the native `quillodex --set` is read back
# unchanged by Quillodex.exe: after the Windows program has loaded it and
# saved it again on its way out, the file holds the same bytes.
# Arguments: the native quillodex, the folder of Quillodex.exe and
# English.dll, the script that runs a Windows program under Wine.
. "$(dirname "$0")/native_and_wine.sh"
mkdir -p "$work/out"

# Values of every kind: clamped numbers, names, flags, a colour, texts
# beyond ASCII, a folder, the preset selection.
(cd "$work" && XDG_CONFIG_HOME="$work/config" HOME="$work" "$native" \
  --set preset1.targetWidth=1024 --set preset1.targetHeight=768 \
  --set preset2.outputFormat=png --set preset2.subfolder=Klein \
  --set preset3.jpegQuality=250 --set preset3.sharpness=2 \
  --set preset4.suffix=_写真 --set preset4.keepTransparency=0 \
  --set globalOutputFolder=out --set backgroundColour=#102030 --set useOwnBackground=1 \
  --set multiDropSelection=1,3 --set fontHeight=-14 --set showTooltips=off)
written="$work/config/Quillodex/Quillodex.ini"
cp "$written" "$work/written.ini"

# A portable installation: the settings file beside the program. A command
# line naming no existing file converts nothing, and the program saves its
# settings as it quits.
cp "$bin/Quillodex.exe" "$bin/English.dll" "$work/install/"
cp "$written" "$work/install/Quillodex.ini"
# An old date shows afterwards whether the program wrote the file at all.
touch -d 2000-01-01 "$work/install/Quillodex.ini"
(cd "$work/install" && "$wine_run" "$work/install/Quillodex.exe" no-such-file.bmp) || true

if ! cmp "$work/written.ini" "$work/install/Quillodex.ini"; then
  echo "Quillodex.exe changed the settings file written by quillodex --set" >&2
  cmp -l "$work/written.ini" "$work/install/Quillodex.ini" | head -n 20 >&2 || true
  exit 1
fi
# A file the program did not rewrite would pass the comparison above
# without proving anything.
if [ "$(stat -c %Y "$work/install/Quillodex.ini")" -lt 1000000000 ]; then
  echo "Quillodex.exe did not save its settings" >&2
  exit 1
fi
echo "Quillodex.exe read back the settings of quillodex --set unchanged ($(stat -c %s "$written") bytes)"
