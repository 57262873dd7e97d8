#!/usr/bin/env bash
# Fetches a Debian source package into a cache folder with apt-get source,
# through a temporary deb-src list so the machine's own lists stay untouched.
# Usage: fetch-debian-source.sh PACKAGE CACHE_DIR
# Prints the unpacked source folder. A second call reuses the cache.
set -euo pipefail
package=$1
cache=$2
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)
existing=$(find "$cache" -maxdepth 1 -mindepth 1 -type d -name "${package}-*" ! -name '.*' | head -n 1)
if [ -n "$existing" ]; then
  echo "$existing"
  exit 0
fi
command -v dpkg-source >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends dpkg-dev >&2
state="$cache/.apt"
mkdir -p "$state/lists/partial"
cat > "$state/sources.list" <<LIST
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
deb-src http://deb.debian.org/debian-security bookworm-security main
LIST
apt_opts=(-o "Dir::Etc::SourceList=$state/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o "Dir::State::Lists=$state/lists" -o APT::Sandbox::User=root)
apt-get "${apt_opts[@]}" update -qq >&2
# The newest version can be missing from a mirror for a while (a security
# update listed before its files arrive); older listed versions are tried next.
if ! (cd "$cache" && apt-get "${apt_opts[@]}" source -qq "$package" >&2); then
  fetched=false
  for version in $(apt-cache "${apt_opts[@]}" showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | sort -rV | uniq); do
    rm -rf "$cache/$package"-*/ 2>/dev/null || true
    if (cd "$cache" && apt-get "${apt_opts[@]}" source -qq "$package=$version" >&2); then
      fetched=true
      break
    fi
  done
  $fetched || { echo "could not fetch the source of $package" >&2; exit 1; }
fi
find "$cache" -maxdepth 1 -mindepth 1 -type d -name "${package}-*" ! -name '.*' | head -n 1
