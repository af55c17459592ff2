#!/bin/sh
# Draws docs/kestrel.png: exports the example ship examples/ship.obj unattended with
# modelhost, as scripts/demo.sh does, and has cmpinfo draw the written file.
#
#   scripts/render-docs.sh                    builds what it needs into build/ first
#   scripts/render-docs.sh --prebuilt DIR     uses the programs in DIR (a build folder)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

build=build
if [ "${1:-}" = "--prebuilt" ]; then
    build=${2:?"--prebuilt needs a build folder"}
else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build" -j2 --target modelhost cmpexport cmpinfo
fi
bin=$(cd "$build/bin" && pwd)

# The export runs in a folder of its own: the plug-in keeps its temporary file in the
# current folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$bin/modelhost" --ui console --save-as kestrel.cmp "$root/examples/ship.obj" >/dev/null)
"$bin/cmpinfo" --render "$root/docs/kestrel.png" "$work/kestrel.cmp"
echo "docs/kestrel.png drawn from examples/ship.obj"
