#!/bin/sh
# Cross-builds the Windows plug-in (cmpexport.dll), the stand-in ztModelLib.dll, the test
# host winhost.exe, its tests winhost_test.exe, ui_win32_test.exe and cmpinfo.exe with
# MinGW (GoogleTest built along from Debian's sources), then tests them under 32-bit Wine
# in a virtual X server: the host's checks of the DLL, the Win32 interface's own tests,
# the DLL's exports and imports, and byte-for-byte identity of the files the DLL writes
# with those the Linux build writes for the same models, and modelhost.exe against the
# Linux modelhost on the same glTF files (tests/windows/modelhost_compare.py), cmpinfo.exe's
# glTF against the Linux cmpinfo's, and the Blender add-on with the Windows programs
# under Wine against the add-on with the Linux ones (tests/windows/addon_wine_compare.py).
#
#   scripts/test-windows.sh
#
# Build folders: build-windows/ (cross build, with its Wine prefix) and
# build-windows-reference/ (the Linux side of the comparison); CMPEXPORT_WIN_BUILD and
# CMPEXPORT_WINREF_BUILD choose others (CMPEXPORT_WINREF_BUILD=build reuses the main
# build of scripts/test.sh). Exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
win_build=${CMPEXPORT_WIN_BUILD:-$root/build-windows}
ref_build=${CMPEXPORT_WINREF_BUILD:-$root/build-windows-reference}
case "$win_build" in /*) ;; *) win_build="$root/$win_build" ;; esac
case "$ref_build" in /*) ;; *) ref_build="$root/$ref_build" ;; esac

export WINEPREFIX="$win_build/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No prompts to install .NET or HTML engines into the fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Compares the Linux build's file $1 with the Windows build's $2 byte for byte, telling
# either way under the name $3, and counts it in $same or $different.
same_bytes() {
    if [ -s "$1" ] && cmp -s "$1" "$2"; then
        echo "identical  $3 ($(wc -c <"$1") bytes)"
        same=$((same + 1))
    else
        echo "DIFFERENT  $3"
        cmp "$1" "$2" || true
        different=$((different + 1))
    fi
}

# Runs inside the virtual X server: everything that opens a window.
if [ "${1:-}" = "--inside-x" ]; then
    status=0
    # A prefix that this script set up with this Wine is kept from run to run, its
    # registry put back as it was set up (the file dialogs keep the names last saved
    # there); any other is made afresh, as on every CI run, which starts from nothing.
    pristine="$win_build/wineprefix-as-set-up"
    wineserver -w
    if [ -f "$pristine/wine-version" ] && [ -d "$WINEPREFIX" ] &&
       [ "$(cat "$pristine/wine-version")" = "$(wine --version)" ]; then
        echo "== the kept 32-bit Wine prefix, as set up: $WINEPREFIX"
        cp "$pristine"/*.reg "$WINEPREFIX/"
    else
        echo "== fresh 32-bit Wine prefix: $WINEPREFIX"
        rm -rf "$WINEPREFIX" "$pristine"
        log="$win_build/wine-setup.log"
        # Unmanaged windows: without a window manager, Wine would wait for one on every
        # dialog that closes.
        if ! { wineboot --init &&
               wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
               wineserver -w; } >"$log" 2>&1; then
            cat "$log"
            echo "the Wine prefix could not be set up"
            exit 1
        fi
        mkdir -p "$pristine"
        cp "$WINEPREFIX"/*.reg "$pristine/"
        wine --version >"$pristine/wine-version"
    fi
    # A server and desktop of their own, started here: a test that started them would
    # have its output held open by them until they exit, seconds later.
    wineserver -p5
    wine "$win_build/bin/winhost_test.exe" --gtest_filter=PlugInExport.EmptyModel \
        >/dev/null 2>&1 || true

    # Two at a time: the tests that open windows take the desktop in turn (RESOURCE_LOCK).
    ctest --test-dir "$win_build" --output-on-failure -j2 || status=1

    echo "== byte identity: the DLL under Wine against the Linux build"
    compare="$WINEPREFIX/drive_c/compare"
    rm -rf "$compare" "$win_build/compare-linux"
    mkdir -p "$compare"
    if ! (cd "$compare" && wine "$win_build/bin/winhost.exe" write 'C:\compare'); then
        echo "winhost could not write every comparison model"
        status=1
    fi
    if ! (cd "$win_build" &&
          "$ref_build/bin/cmp_write_models" "$ref_build/bin/libcmpexport.so" \
              "$win_build/compare-linux" >/dev/null); then
        echo "the Linux build could not write every comparison model"
        status=1
    fi
    same=0
    different=0
    for linux_file in "$win_build"/compare-linux/*.cmp; do
        name=$(basename "$linux_file")
        same_bytes "$linux_file" "$compare/$name" "$name"
    done
    echo "byte identity: $same passed, $different failed"
    [ "$different" -eq 0 ] && [ "$same" -gt 0 ] || status=1

    echo "== cmpinfo.exe on what the DLL wrote"
    checked=0
    unsound=0
    for file in "$compare"/*.cmp; do
        if (cd "$compare" && wine "$win_build/bin/cmpinfo.exe" --check "$(basename "$file")"); then
            checked=$((checked + 1))
        else
            echo "cmpinfo.exe finds $(basename "$file") unsound"
            unsound=$((unsound + 1))
        fi
    done
    echo "cmpinfo.exe: $checked passed, $unsound failed"
    [ "$unsound" -eq 0 ] && [ "$checked" -gt 0 ] || status=1

    echo "== cmpinfo.exe --gltf against the Linux cmpinfo"
    # The Blender add-on's import on Windows reads what cmpinfo.exe writes: the same
    # bytes as on Linux, in both of glTF's forms, or Blender holds another model.
    gltf_linux="$win_build/gltf-linux"
    rm -rf "$gltf_linux" "$compare/gltf"
    mkdir -p "$gltf_linux" "$compare/gltf"
    same=0
    different=0
    for file in "$compare"/*.cmp; do
        name=$(basename "$file" .cmp)
        for form in glb gltf; do
            "$ref_build/bin/cmpinfo" --gltf "$gltf_linux/$name.$form" "$file" || true
            (cd "$compare" && wine "$win_build/bin/cmpinfo.exe" --gltf "gltf\\$name.$form" \
                 "$name.cmp") || true
            same_bytes "$gltf_linux/$name.$form" "$compare/gltf/$name.$form" "$name.$form"
        done
    done
    echo "cmpinfo.exe --gltf: $same passed, $different failed"
    [ "$different" -eq 0 ] && [ "$same" -gt 0 ] || status=1

    # Two comparisons side by side, one a core, neither opening a window that the other
    # looks for: the add-on's, its output kept in a log until the first one is done.
    version=$(sed -n 's/^project(cmpexport VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
    addon_log="$win_build/addon-wine-compare.log"
    # One Blender session exports a ship and imports it back through the add-on's
    # operators, once through each route (tests/blender/addon_wine_session.py).
    # (In the background INT and QUIT would be ignored: env gives every signal its default.)
    env --default-signal python3 tests/windows/addon_wine_compare.py \
        "$ref_build/bin" "$win_build/bin" "$ref_build/dist/cmpexport-blender-$version.zip" \
        >"$addon_log" 2>&1 &
    addon_compare=$!

    echo "== modelhost.exe under Wine against the Linux modelhost"
    # The glTF files Blender itself writes (the scenes of the Linux suite's Blender tests)
    # and the example ship, each run both ways with every option and outcome.
    scenes="$win_build/blender-scenes"
    rm -rf "$scenes"
    mkdir -p "$scenes"
    blender_config=$(mktemp -d)
    if ! BLENDER_USER_SCRIPTS="$blender_config" BLENDER_USER_CONFIG="$blender_config" \
         env -u PYTHONPATH -u PYTHONHOME blender --background --factory-startup \
             --python-exit-code 1 --python tests/blender/make_scenes.py -- \
             "$scenes" ship random:1 random:2 random:3 >"$scenes/blender.log" 2>&1; then
        cat "$scenes/blender.log"
        echo "Blender could not make the scenes"
        status=1
    fi
    rm -rf "$blender_config"
    python3 tests/windows/modelhost_compare.py "$ref_build/bin" "$win_build/bin" \
        examples/ship.gltf "$scenes"/*.glb || status=1

    echo "== the Blender add-on with the Windows programs under Wine against the Linux ones"
    wait "$addon_compare" || status=1
    cat "$addon_log"

    wineserver -w
    exit "$status"
fi

scripts/deps.sh

echo "== cross build: $win_build"
cmake -S . -B "$win_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$win_build"

echo "== Linux reference build: $ref_build"
# An existing build (scripts/test.sh's build/, say) is used as it is configured.
if [ ! -f "$ref_build/CMakeCache.txt" ]; then
    cmake -S . -B "$ref_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMPEXPORT_BENCH=OFF -DCMPEXPORT_GTK=OFF
fi
cmake --build "$ref_build" --target cmp_write_models modelhost cmpexport cmpinfo \
    blender_addon

xvfb-run -a "$root/scripts/test-windows.sh" --inside-x
