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
  # Wine's own TrueType fonts (Tahoma, which "MS Shell Dlg" stands for) are
  # only found in the prefix's Fonts folder; without them every window text
  # falls back to whatever fontconfig offers.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" font
  mkdir -p "$fonts"
  for font in /usr/share/wine/fonts/*.ttf; do
    [ -f "$font" ] && [ ! -f "$fonts/$(basename "$font")" ] && cp "$font" "$fonts/"
  done
  if [ ! -f "$WINEPREFIX/quillodex-fonts.done" ]; then
    wine regedit "$(winepath -w "$here/wine-fonts.reg" 2>/dev/null)" >/dev/null 2>&1 || true
    wineserver -w
    touch "$WINEPREFIX/quillodex-fonts.done"
  fi
}
