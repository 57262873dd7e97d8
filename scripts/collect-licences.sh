#!/usr/bin/env bash
# Writes the licence texts of every third-party library linked into a
# program, and where each library's source can be had, into a folder:
#   <source package>.txt   the Debian copyright file of that library
#   SOURCES.txt            library archives, Debian source package, version
# The libraries are read from the linker's map (every archive a member was
# taken from), so one linked later is covered without editing this script,
# or stops the build when nobody can tell where it came from.
# Usage: collect-licences.sh LINK_MAP DEPS_SOURCES OWN_BUILD_DIR OUT_DIR
#   DEPS_SOURCES: where scripts/build-deps.sh unpacked the Debian sources;
#   OWN_BUILD_DIR: archives under it are our own and need no notice.
set -euo pipefail
map=$1
deps_sources=$(readlink -f "$2")
own_build=$(readlink -f "$3")
out=$4

# Libraries scripts/build-deps.sh builds, by archive, and their source package.
deps_source_of() {  # archive file name
  case "$1" in
    libjpeg.a | libturbojpeg.a) echo libjpeg-turbo ;;
    libwebp*.a | libsharpyuv.a) echo libwebp ;;
    libtiff*.a) echo tiff ;;
    liblcms2.a) echo lcms2 ;;
    *) return 1 ;;
  esac
}

# "name version copyright-file" for one archive, or a failure.
describe_archive() {  # resolved archive path
  local archive=$1 name source folder dsc version package
  name=$(basename "$archive")
  if source=$(deps_source_of "$name"); then
    folder=$(find "$deps_sources" -maxdepth 1 -type d -name "$source-*" | sort | head -n 1)
    dsc=$(find "$deps_sources" -maxdepth 1 -type f -name "${source}_*.dsc" | sort | head -n 1)
    [ -n "$folder" ] && [ -n "$dsc" ] && [ -f "$folder/debian/copyright" ] || return 1
    version=$(sed -n 's/^Version: //p' "$dsc" | head -n 1)
    echo "$source $version $folder/debian/copyright"
    return 0
  fi
  # Anything else comes from an installed Debian package.
  package=$(dpkg-query -S "$archive" 2>/dev/null | head -n 1 | cut -d: -f1) || return 1
  [ -n "$package" ] && [ -f "/usr/share/doc/$package/copyright" ] || return 1
  dpkg-query -W -f '${source:Package} ${source:Version} ' "$package"
  echo "/usr/share/doc/$package/copyright"
}

# The map names each archive a member was taken from as "path(member)" at
# the start of a line.
archives=$(grep -oE '^/[^ ()]+\.a\(' "$map" | sed 's/($//' | sort -u)
[ -n "$archives" ] || { echo "no archives found in the link map $map" >&2; exit 1; }

declare -A copyright_of archives_of version_of
for archive in $archives; do
  resolved=$(readlink -f "$archive")
  case "$resolved" in "$own_build"/*) continue ;; esac
  if ! read -r source version copyright < <(describe_archive "$resolved"); then
    echo "no licence known for $archive: add its source package to $0" >&2
    exit 1
  fi
  copyright_of[$source]=$copyright
  version_of[$source]=$version
  archives_of[$source]+=" $(basename "$resolved")"
done

mkdir -p "$out"
{
  echo "Third-party libraries linked into Quillodex.exe"
  echo
  echo "Each is built from the Debian source package named here; its licence is in"
  echo "<source package>.txt beside this file. The source of a version can be had"
  echo "with 'apt-get source <package>=<version>' on Debian 12, or from"
  echo "https://snapshot.debian.org/package/<package>/<version>/."
  echo
  for source in $(printf '%s\n' "${!copyright_of[@]}" | sort); do
    cp "${copyright_of[$source]}" "$out/$source.txt"
    echo "$source ${version_of[$source]}:${archives_of[$source]}"
  done
} >"$out/SOURCES.txt"
