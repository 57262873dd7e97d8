#!/usr/bin/env bash
# Runs a Windows program under Wine with the display set to DPI dots per
# inch, in a prefix of its own inside the Windows build folder (made once,
# about 20 s, and kept for later runs: one prefix per resolution rather than
# one switched back and forth). Used by CTest for the windows at other
# display scales. Headless as wine-run.sh.
# usage: wine-dpi.sh BUILD-FOLDER DPI PROGRAM [ARGUMENTS...]
set -euo pipefail
build=$1 dpi=$2
shift 2
export WINEPREFIX=$build/wine-dpi$dpi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$build" "$dpi" "$@"
fi
. "$(dirname "$0")/wine-prefix.sh"
qdx_prepare_wine_prefix
if [ ! -f "$WINEPREFIX/quillodex-dpi.done" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/quillodex-dpi.done"
fi
# This prefix's server and services start detached from the test's output
# (a service holding it would keep CTest waiting) and end with the test.
wineserver -p 30 </dev/null >/dev/null 2>&1 || true
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
status=0
wine "$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
