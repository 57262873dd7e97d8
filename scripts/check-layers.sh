#!/usr/bin/env bash
# Fails when a source file includes against the layers:
#   app/, cli/ -> batch/ -> codecs/ (read, write, common) and scale/ -> core/ -> core/os/
# Nothing includes upward (core/os/ includes only core/os/); a reader never
# includes a writer nor the other way round; scale/ never includes codecs/.
# Our plug-ins (plugins/) are libraries of their own: they include only
# plugins/ and the plug-in interface header, and nothing else includes them.
# Only core/os/ (and app/ and plugins/, which are Windows-only) include the
# system's own headers.
# Prints every offending line and the number found; exit status 1 when any.
# With a folder argument it checks that tree instead of the repository.
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

files=$(find core codecs scale batch cli app plugins -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
[ -n "$files" ] || { echo "layer check: no sources under $root"; exit 2; }

# shellcheck disable=SC2086
awk '
BEGIN {
  # The folders a file in each folder may include from (its own included).
  allow["core/os"]       = " core/os "
  allow["core"]          = " core core/os "
  allow["codecs/common"] = " codecs/common core core/os "
  allow["codecs/read"]   = " codecs/read codecs/common core core/os "
  allow["codecs/write"]  = " codecs/write codecs/common core core/os "
  allow["scale"]         = " scale core core/os "
  allow["batch"]         = " batch codecs/common codecs/read codecs/write scale core core/os "
  allow["cli"]           = " cli batch codecs/common codecs/read codecs/write scale core core/os "
  allow["app"]           = " app batch codecs/common codecs/read codecs/write scale core core/os "
  allow["plugins"]       = " plugins "
  pluginInterface = "core/os/plugin_interface.h"
  systemHeader = "^#[ \t]*include[ \t]*<(windows|winbase|winuser|wingdi|shellapi|shlobj|objbase|commctrl|unistd|fcntl|dirent|signal|dlfcn|pthread|sys/[a-z_]+)\\.h>"
  found = 0
}
function layer(path) {
  if (path ~ /^core\/os\//) return "core/os"
  if (path ~ /^codecs\/(common|read|write)\//) { sub(/\/[^\/]*$/, "", path); return path }
  if (path ~ /^(core|scale|batch|cli|app|plugins)\//) { sub(/\/.*$/, "", path); return path }
  if (path ~ /^(codecs|tests|fuzz|bench)\//) return "elsewhere"
  return ""
}
FNR == 1 { folder = layer(FILENAME) }
/^#[ \t]*include/ {
  bad = 0
  if (match($0, /"[^"]*"/)) {
    included = substr($0, RSTART + 1, RLENGTH - 2)
    target = layer(included)
    allowed = target == "" || index(allow[folder], " " target " ") > 0
    if (!allowed && !(folder == "plugins" && included == pluginInterface)) bad = 1
  } else if (folder != "core/os" && folder != "app" && folder != "plugins" && $0 ~ systemHeader) {
    bad = 1
  }
  if (bad) { print FILENAME ":" FNR ": " $0; ++found }
}
END {
  print "layer check: " found " include(s) against the layers"
  exit found > 0
}' $files
