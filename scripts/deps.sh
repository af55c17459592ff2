#!/bin/sh
# Installs what a fresh Debian machine lacks to build, test and package the project.
# Needs root (or sudo); does nothing for packages that are already there.
set -eu

packages="build-essential cmake ninja-build pkg-config git python3
 libgtest-dev libgmock-dev googletest libbenchmark-dev libassimp-dev nlohmann-json3-dev libcli11-dev
 libcairo2-dev fonts-dejavu-core libtinygltf-dev libeigen3-dev
 clang libclang-rt-14-dev valgrind strace
 libgtk-3-dev xvfb xauth xdotool imagemagick x11-utils
 g++-mingw-w64-i686 wine wine32
 help2man man-db dpkg-dev file unzip icoutils
 blender python3-numpy"

# Node and npm run the glTF validator in the tests; a Node of another origin will do.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    packages="$packages nodejs npm"
fi

as_root=""
[ "$(id -u)" -ne 0 ] && as_root="sudo"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    if ! dpkg --print-foreign-architectures | grep -q i386; then
        $as_root dpkg --add-architecture i386
    fi
    $as_root apt-get update
    DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $missing
fi

# The glTF validator (an npm package, JavaScript only), in the one folder where the tests
# look for it (CMPEXPORT_GLTF_VALIDATOR_DIR), at the version the tests were written with.
validator_prefix=/usr/local/lib/cmpexport
validator_version=2.0.0-dev.3.10
if ! grep -qs "\"version\": \"$validator_version\"" \
        "$validator_prefix/node_modules/gltf-validator/package.json"; then
    $as_root mkdir -p "$validator_prefix"
    $as_root npm install --prefix "$validator_prefix" --no-audit --no-fund \
        "gltf-validator@$validator_version"
fi
