#!/usr/bin/env bash
# Packs the Windows program into Quillodex-<version>-win64.zip and the
# per-user installer Quillodex-<version>-win64-setup.exe.
#   package.sh                         sets up, builds the Windows tree and
#                                      packs into build/windows/release
#   package.sh BIN_DIR VERSION OUT_DIR packs what the build left in BIN_DIR
#                                      (the build's "release" target)
# The same commit gives the same bytes: every file carries the commit's time
# (SOURCE_DATE_EPOCH when set), entries are in a fixed order, and nothing of
# the machine or the moment goes in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -eq 0 ]; then
  "$root/scripts/setup.sh"
  build="$root/build/windows"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target release
  exit
fi
[ $# -eq 3 ] || { echo "usage: $0 [BIN_DIR VERSION OUT_DIR]" >&2; exit 2; }
bin=$(cd "$1" && pwd)
version=$2
mkdir -p "$3"
out=$(cd "$3" && pwd)
name="Quillodex-$version-win64"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
export LC_ALL=C TZ=UTC

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/$name"
mkdir -p "$stage/LICENSES"

# What ships: the program, every library beside it (languages and any
# third-party DLL), the user guide, the plug-ins, the licence texts the build
# placed in a licences folder or beside the program.
for required in Quillodex.exe Quillodex.chm; do
  [ -f "$bin/$required" ] || { echo "missing from the build: $bin/$required" >&2; exit 1; }
done
cp "$bin/Quillodex.exe" "$bin/Quillodex.chm" "$stage/"
find "$bin" -maxdepth 1 -type f -iname '*.dll' -exec cp {} "$stage/" \;
[ -d "$bin/plugins" ] && cp -r "$bin/plugins" "$stage/plugins"
for folder in "$bin"/*; do
  case "$(basename "$folder" | tr '[:upper:]' '[:lower:]')" in
    licenses | licences) [ -d "$folder" ] && cp -r "$folder/." "$stage/LICENSES/" ;;
  esac
done
# Licence texts and source notes placed beside the program (the HEIF
# libraries' "<package>-COPYING.txt", "<package>-copyright.txt" and
# "heif-libraries-sources.txt") ship with the other licences.
find "$bin" -maxdepth 1 -type f \( -iname '*COPYING*' -o -iname 'LICENSE*' -o -iname 'LICENCE*' \
  -o -iname '*-copyright.txt' -o -iname '*-sources.txt' \) \
  -exec cp {} "$stage/LICENSES/" \;
[ -f "$stage/LICENSES/SOURCES.txt" ] || { echo "no licence texts in $bin/LICENSES: build Quillodex first" >&2; exit 1; }
sed "s/@VERSION@/$version/g" "$root/packaging/README.txt" >"$stage/README.txt"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# The installed files, one relative path a line, in the order everything
# below uses; the installer tests read it too.
(cd "$stage" && find . -type f | sed 's|^\./||' | sort) >"$out/$name.files"

# The zip: entries under one top folder, directories before their files.
python3 - "$stage" "$out/$name.files" "$out/$name.zip" "$name" "$SOURCE_DATE_EPOCH" <<'PY'
import os, sys, time, zipfile
stage, listing, target, top, epoch = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
with open(listing, encoding="utf-8") as lines:
    files = [line.rstrip("\n") for line in lines if line.strip()]
folders = {""}
for f in files:
    while f := os.path.dirname(f):
        folders.add(f)
folders = sorted(folders)
def entry(name, mode):
    info = zipfile.ZipInfo(name, stamp)
    info.create_system = 3
    info.external_attr = mode << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info
with zipfile.ZipFile(target + ".part", "w") as archive:
    for folder in folders:
        info = entry(f"{top}/{folder}/".replace("//", "/"), 0o40755)
        info.compress_type = zipfile.ZIP_STORED
        archive.writestr(info, b"")
    for f in files:
        with open(os.path.join(stage, f), "rb") as data:
            archive.writestr(entry(f"{top}/{f}", 0o100644), data.read(), compresslevel=9)
os.replace(target + ".part", target)
PY

# The installer: NSIS lists of what to install and, in reverse, what the
# uninstaller removes; it never removes anything else (an existing
# Quillodex.ini stays, and so does the folder holding it).
nsis_path() { sed 's|/|\\|g; s|\$|$$|g' <<<"$1"; }
{
  current=/
  while read -r f; do
    folder=$(dirname "$f")
    [ "$folder" = . ] && folder=
    if [ "$folder" != "$current" ]; then
      echo "SetOutPath \"\$INSTDIR${folder:+\\$(nsis_path "$folder")}\""
      current=$folder
    fi
    echo "File \"$stage/$f\""
  done <"$out/$name.files"
} >"$work/install-files.nsh"
{
  while read -r f; do echo "Delete \"\$INSTDIR\\$(nsis_path "$f")\""; done <"$out/$name.files"
  # Folders deepest first; RMDir without /r leaves any that still hold a file.
  sed -n 's|/[^/]*$||p' "$out/$name.files" | sort -u | awk '{ print gsub("/", "/"), $0 }' | sort -k1,1nr -k2 |
    cut -d' ' -f2- | while read -r folder; do echo "RMDir \"\$INSTDIR\\$(nsis_path "$folder")\""; done
} >"$work/uninstall-files.nsh"
makensis -V2 -NOCD -DVERSION="$version" -DOUTFILE="$out/$name-setup.exe" \
  -DINSTALL_FILES="$work/install-files.nsh" -DUNINSTALL_FILES="$work/uninstall-files.nsh" \
  "$root/packaging/installer.nsi" >"$work/makensis.log" || { cat "$work/makensis.log" >&2; exit 1; }
echo "$out/$name.zip"
echo "$out/$name-setup.exe"
