#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's private prefix
# (inside the Windows build folder, created once). Used by CTest as the
# cross-compiling emulator. Headless: uses $DISPLAY when set (test-all.sh
# starts one Xvfb for the whole run), else wraps the call in xvfb-run.
set -euo pipefail
build=$(cd "$(dirname "$0")/.." && pwd)/build/windows
export WINEPREFIX=${QDX_WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a "$0" "$@"
fi
. "$(dirname "$0")/wine-prefix.sh"
qdx_prepare_wine_prefix
exec wine "$@"
