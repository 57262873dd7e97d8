#!/usr/bin/env bash
# The layer check must name every include against the layers in a tree made
# here, one file per rule, and pass a tree that keeps them.
set -uo pipefail
check=$(cd "$(dirname "$0")/../../scripts" && pwd)/check-layers.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/core/os "$tree"/plugins/p "$tree"/batch "$tree"/scale "$tree"/app/window
put() { printf '%s\n' "${@:2}" >"$tree/$1"; }

# Allowed: each layer downward, a plug-in with the interface header and the
# system's headers, a file in a subfolder of app/.
put core/os/fine.cpp '#include "core/os/os.h"' '#include <windows.h>'
put plugins/p/fine.cpp '#include "plugins/p/p.h"' '#include "core/os/plugin_interface.h"' '#include <windows.h>'
put app/window/fine.cpp '#include "batch/batch_run.h"' '#include <windows.h>'
bash "$check" "$tree" >/dev/null || { echo "a tree within the layers was refused"; exit 1; }

# Refused, one line each.
put core/os/up.cpp '#include "core/settings.h"'
put plugins/p/engine.cpp '#include "core/os/os.h"'
put batch/plugin.cpp '#include "plugins/p/p.h"'
put scale/codec.cpp '#include "codecs/read/bmp_reader.h"'
put scale/system.cpp '#include <unistd.h>'
output=$(bash "$check" "$tree")
status=$?
[ $status -eq 1 ] || { echo "exit status $status, expected 1"; exit 1; }
for line in core/os/up.cpp plugins/p/engine.cpp batch/plugin.cpp scale/codec.cpp scale/system.cpp; do
  grep -q "^$line:1:" <<<"$output" || { echo "not named: $line"; echo "$output"; exit 1; }
done
grep -q "layer check: 5 include(s)" <<<"$output" || { echo "$output"; exit 1; }
echo "layer check refuses every kind of include against the layers"
