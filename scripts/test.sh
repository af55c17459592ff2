#!/bin/sh
# Builds everything and runs every test: the Linux suite (including the desktop dialogs
# in a virtual X server), then the Windows DLL under Wine against the Linux build.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j2
CMPEXPORT_WINREF_BUILD=build scripts/test-windows.sh
