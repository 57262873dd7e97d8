# Sourced by the tests that run the native quillodex and Quillodex.exe under
# Wine on the same things. Arguments: the native quillodex, the folder of
# Quillodex.exe and English.dll, the script that runs a Windows program under
# Wine. Sets native, bin and wine_run, and work: a fresh folder holding
# config/ and install/, removed on exit.
set -euo pipefail
native=$1
bin=$2
wine_run=$3
if [ ! -x "$native" ]; then
  echo "the native quillodex is missing: $native (build the native tree first)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/install"
