#!/bin/sh
# Installs what is missing, builds, and exports the example ship unattended: modelhost
# imports examples/ship.obj, runs the plug-in, which prints the tree it wrote, and
# cmpinfo then reads the file back, checks it, draws it and writes it as glTF.
#
#   scripts/demo.sh                    everything, into build/
#   scripts/demo.sh --prebuilt DIR     no installing or building: use the programs in DIR
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

build=build
if [ "${1:-}" = "--prebuilt" ]; then
    build=${2:?"--prebuilt needs a build folder"}
else
    scripts/deps.sh
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build" --target modelhost cmpexport cmpinfo
fi
bin=$(cd "$build/bin" && pwd)

# The run happens in a folder of its own: the plug-in keeps its temporary file in the
# current folder, and the result should be easy to find.
out="$build/demo"
mkdir -p "$out"
cd "$out"
echo "== modelhost: exporting examples/ship.obj to $out/kestrel.cmp"
"$bin/modelhost" --save-as kestrel.cmp --overwrite "$root/examples/ship.obj"
echo
echo "== cmpinfo: checking and reading kestrel.cmp"
"$bin/cmpinfo" --check kestrel.cmp
"$bin/cmpinfo" kestrel.cmp
echo
echo "== cmpinfo: drawing kestrel.cmp and writing it as glTF"
"$bin/cmpinfo" --render kestrel.png kestrel.cmp
"$bin/cmpinfo" --gltf kestrel.glb kestrel.cmp
echo "the picture: $out/kestrel.png"
echo "the glTF:    $out/kestrel.glb (open it in any 3D viewer)"
