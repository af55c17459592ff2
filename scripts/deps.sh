#!/bin/sh
# Installs what a fresh Debian machine lacks to build, test and package the project.
# Needs root (or sudo); does nothing for packages that are already there.
set -eu

packages="build-essential cmake ninja-build pkg-config git python3
 libgtest-dev libgmock-dev googletest libbenchmark-dev libassimp-dev nlohmann-json3-dev
 clang libclang-rt-14-dev valgrind
 libgtk-3-dev xvfb xauth xdotool imagemagick x11-utils
 g++-mingw-w64-i686 wine wine32
 help2man man-db dpkg-dev file unzip icoutils"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

as_root=""
[ "$(id -u)" -ne 0 ] && as_root="sudo"
if ! dpkg --print-foreign-architectures | grep -q i386; then
    $as_root dpkg --add-architecture i386
fi
$as_root apt-get update
DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $missing
