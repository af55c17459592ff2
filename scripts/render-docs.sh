#!/bin/sh
# Draws docs/kestrel.png: exports the example ship examples/ship.obj unattended with
# modelhost, as scripts/demo.sh does, and has cmpinfo draw the written file. Then
# docs/blender-export.png: Blender in a virtual X server, the add-on installed from its
# zip, File > Export > Compound model (.cmp) open on the ship of the add-on's tests.
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
    cmake --build "$build" -j2 --target modelhost cmpexport cmpinfo blender_addon
fi
bin=$(cd "$build/bin" && pwd)

# The export runs in a folder of its own: the plug-in keeps its temporary file in the
# current folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$bin/modelhost" --ui console --save-as kestrel.cmp "$root/examples/ship.obj" >/dev/null)
"$bin/cmpinfo" --render "$root/docs/kestrel.png" "$work/kestrel.cmp"
echo "docs/kestrel.png drawn from examples/ship.obj"

version=$(sed -n 's/^project(cmpexport VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
xvfb-run -a -s "-screen 0 1600x1000x24" \
    env -u PYTHONPATH -u PYTHONHOME PATH=/usr/bin:/bin HOME="$work" TMPDIR="$work" \
    BLENDER_USER_SCRIPTS="$work/blender" BLENDER_USER_CONFIG="$work/blender/config" \
    blender --factory-startup --python "$root/tests/blender/screenshot.py" -- \
    "$(dirname "$bin")/dist/cmpexport-blender-$version.zip" "$bin/modelhost" "$work/blender.png" \
    >"$work/blender.log" 2>&1
convert "$work/blender.png" -resize 1200x "$root/docs/blender-export.png"
echo "docs/blender-export.png taken of Blender's export dialog"
