# Sourced by wine-run.sh and test-all.sh: creates the test prefix in
# $WINEPREFIX once and makes sure it draws Japanese text with the IPA fonts.
qdx_prepare_wine_prefix() {
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Also done for a prefix made before the fonts were wanted.
  if [ ! -f "$WINEPREFIX/quillodex-fonts.done" ]; then
    wine regedit "$(winepath -w "$here/wine-fonts.reg" 2>/dev/null)" >/dev/null 2>&1 || true
    wineserver -w
    touch "$WINEPREFIX/quillodex-fonts.done"
  fi
}
