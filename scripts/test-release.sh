#!/bin/sh
# Tests the release as a user gets it. Makes the packages (scripts/package.sh), then:
#   - installs the Linux release build into a scratch prefix and, with the build folder
#     renamed out of the way, exports examples/ship.obj there with the installed modelhost
#     and checks it with the installed cmpinfo, from a folder outside the build; no
#     RUNPATH of an installed file points anywhere but beside itself;
#   - checks the Debian package's contents and Depends line, unpacks it into a scratch
#     root and runs the same export from there; its man pages render;
#   - unpacks the Windows zip into a fresh folder, adds the stand-in ztModelLib.dll and
#     the test host winhost.exe beside it, and exports the comparison models under Wine:
#     every file byte-identical to the golden files and to the Debian package's
#     plug-in; cmpinfo.exe from the zip accepts them;
#   - the Blender add-on: its zip holds the package with the release's version, and
#     Blender installs it from the zip and takes it from the unpacked Debian package
#     (where it finds the package's own modelhost), exporting a cube through each;
#   - the Blender add-on for Windows: its zip holds the same package and, in
#     cmpexport/bin/, the Windows programs with the Windows zip's README and licence;
#     Blender installs it and the add-on registers; under Wine the programs need no DLL
#     but Windows' own and each other, and its modelhost.exe exports the example ship's
#     glTF to the golden file's bytes with its own plug-in;
#   - modelhost --version, cmpinfo --version, cmpinfo.exe --version, the DLL's version
#     resource and both packages tell the version in CMakeLists.txt.
#
#   scripts/test-release.sh              make the packages, then test them
#   scripts/test-release.sh --packaged   test the packages dist/ holds, from the release
#                                        builds that made them
#
# Besides the release builds of scripts/package.sh it takes the stand-in ztModelLib.dll
# and winhost.exe from the Windows test build (build-windows/, or CMPEXPORT_WIN_BUILD)
# and cmp_write_models from the Linux build (build/, or CMPEXPORT_WINREF_BUILD), and
# builds them there when they are missing. Ends with "release: N passed, N failed" and
# a non-zero status when any check failed.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
absolute() {
    case "$1" in /*) echo "$1" ;; *) echo "$root/$1" ;; esac
}
linux_build=$(absolute "${CMPEXPORT_RELEASE_BUILD:-build-release}")
windows_build=$(absolute "${CMPEXPORT_RELEASE_WIN_BUILD:-build-release-windows}")
win_test_build=$(absolute "${CMPEXPORT_WIN_BUILD:-build-windows}")
ref_build=$(absolute "${CMPEXPORT_WINREF_BUILD:-build}")
. scripts/windows_programs.sh
version=$(sed -n 's/^project(cmpexport VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)

fail() {
    echo "$*" >&2
    return 1
}

# check NAME COMMAND...: runs one check in a subshell that stops at its first failing
# command, prints its outcome with what it printed, and counts it.
check() {
    name=$1
    shift
    set +e
    (set -e && "$@") >"$scratch/check.log" 2>&1
    status=$?
    set -e
    if [ "$status" -eq 0 ]; then
        echo "ok      $name"
        echo ok >>"$scratch/results"
    else
        echo "FAILED  $name"
        echo failed >>"$scratch/results"
    fi
    sed 's/^/        /' "$scratch/check.log"
}

# A clean environment: no library path, no display, none of the plug-in's variables.
run_clean() {
    env -i PATH=/usr/bin:/bin HOME="$scratch" LANG=C.UTF-8 "$@"
}

# export_ship BIN PLUGIN: in a fresh folder, the program in BIN exports the example ship
# through the plug-in PLUGIN to the golden file's bytes, and cmpinfo there accepts it.
export_ship() {
    bin=$1
    plugin=$2
    run=$(mktemp -d "$scratch/run.XXXXXX")
    cd "$run"
    run_clean "$bin/modelhost" --save-as kestrel.cmp "$root/examples/ship.obj" >out.txt 2>err.txt ||
        fail "modelhost failed: $(cat out.txt err.txt)"
    grep -qxF "plug-in: $plugin" out.txt || fail "modelhost loaded another plug-in: $(grep plug-in out.txt)"
    [ ! -s err.txt ] || fail "modelhost complained: $(cat err.txt)"
    cmp kestrel.cmp "$root/tests/e2e/golden/kestrel.cmp" ||
        fail "the ship does not export to tests/e2e/golden/kestrel.cmp"
    run_clean "$bin/cmpinfo" --check kestrel.cmp
    [ ! -e ___temp.vms ] || fail "___temp.vms was left behind"
}

# runpaths PREFIX: every installed ELF file looks for libraries beside itself at most.
runpaths() {
    prefix=$1
    for entry in 'bin/modelhost $ORIGIN/../lib/cmpexport' 'bin/cmpinfo ' \
        'lib/cmpexport/libcmpexport.so $ORIGIN' 'lib/cmpexport/libztModelLib.so ' \
        'lib/cmpexport/libcmpexport_gtk.so '; do
        file=${entry%% *}
        expected=${entry#* }
        found=$(readelf -d "$prefix/$file" | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]$/\1/p')
        echo "$file: ${found:-no RUNPATH}"
        [ "$found" = "$expected" ] || fail "$file: RUNPATH '$found', expected '$expected'"
    done
}

# versions BIN: the programs in BIN tell the release's version.
versions() {
    bin=$1
    [ "$(run_clean "$bin/modelhost" --version)" = "modelhost $version" ]
    [ "$(run_clean "$bin/cmpinfo" --version)" = "cmpinfo $version" ]
    first=$(cd "$scratch" && run_clean "$bin/modelhost" --list "$root/examples/ship.obj" | head -n 1)
    [ "$first" = "modelhost $version" ] || fail "modelhost --list begins with '$first'"
}

# ---- The Windows side, run inside a virtual X server (Wine's dialogs need one) ----
if [ "${1:-}" = "--windows-inside-x" ]; then
    scratch=$2
    export WINEPREFIX="$scratch/wineprefix"
    export WINEARCH=win32
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    zip=$(ls "$root"/dist/cmpexport-"$version"-windows-x86.zip)
    addon_zip="$root/dist/cmpexport-blender-$version-windows.zip"
    addon_bin="$WINEPREFIX/drive_c/addon-test/cmpexport/bin"
    folder=cmpexport-$version-windows-x86
    unpacked="$WINEPREFIX/drive_c/release-test"
    output="$WINEPREFIX/drive_c/release-out"

    setup_wine() {
        wineboot --init
        # Unmanaged windows: without a window manager Wine would wait for one.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
        wineserver -w
    }
    zip_holds() {
        unzip -Z1 "$zip" | grep -v '/$' | sort >"$scratch/zip-contents"
        for file in $windows_zip_programs LICENSE.txt README-Windows.txt; do
            echo "$folder/$file"
        done | sort >"$scratch/zip-expected"
        cat "$scratch/zip-contents"
        diff "$scratch/zip-expected" "$scratch/zip-contents"
    }
    # Every DLL the programs need is Windows' own (in a fresh prefix's system32), but the
    # host's model library for the plug-in.
    needs_only_windows() {
        for program in $windows_zip_programs; do
            for dll in $(i686-w64-mingw32-objdump -p "$unpacked/$folder/$program" |
                sed -n 's/^[[:space:]]*DLL Name: //p'); do
                echo "$program needs $dll"
                [ "$program/$dll" = "cmpexport.dll/ztModelLib.dll" ] && continue
                ls "$WINEPREFIX/drive_c/windows/system32" | grep -qixF "$dll" ||
                    fail "$program needs $dll, which is not Windows' own"
            done
        done
    }
    # The add-on's programs load what they need from their own folder, where Windows'
    # loader looks first; nothing else but Windows' own.
    addon_needs_only_windows() {
        for program in $windows_addon_programs; do
            for dll in $(i686-w64-mingw32-objdump -p "$addon_bin/$program" |
                sed -n 's/^[[:space:]]*DLL Name: //p'); do
                echo "$program needs $dll"
                ls "$addon_bin" "$WINEPREFIX/drive_c/windows/system32" | grep -qixF "$dll" ||
                    fail "$program needs $dll, which is neither beside it nor Windows' own"
            done
        done
    }
    # As the add-on runs it: no console to ask on, the answer to the save dialog given.
    addon_modelhost_exports() {
        exe=$(wine 'C:\addon-test\cmpexport\bin\modelhost.exe' --version | tr -d '\r')
        echo "modelhost.exe --version: $exe"
        [ "$exe" = "modelhost $version" ] || fail "modelhost.exe tells '$exe'"
        mkdir "$WINEPREFIX/drive_c/addon-out"
        cd "$WINEPREFIX/drive_c/addon-out"
        cp "$root/examples/ship.gltf" .
        wine 'C:\addon-test\cmpexport\bin\modelhost.exe' --ui console \
            --save-as kestrel.cmp ship.gltf >out.txt 2>err.txt ||
            fail "modelhost.exe failed: $(cat out.txt err.txt)"
        tr -d '\r' <out.txt | grep -i '^plug-in: .*addon-test.*cmpexport\.dll$' ||
            fail "modelhost.exe loaded another plug-in: $(grep -i plug-in out.txt)"
        cmp kestrel.cmp "$root/tests/e2e/golden/kestrel.cmp" ||
            fail "the ship does not export to tests/e2e/golden/kestrel.cmp"
        wine 'C:\addon-test\cmpexport\bin\cmpinfo.exe' --check kestrel.cmp
        [ ! -e ___temp.vms ] || fail "___temp.vms was left behind"
    }
    export_under_wine() {
        cp "$win_test_build/bin/ztModelLib.dll" "$win_test_build/bin/winhost.exe" \
            "$unpacked/$folder/"
        mkdir "$output"
        cd "$output"
        wine "C:\\release-test\\$folder\\winhost.exe" write 'C:\release-out'
        [ ! -e ___temp.vms ] || fail "___temp.vms was left behind"
        count=0
        for golden in "$root"/tests/models/golden/*.cmp; do
            name=$(basename "$golden")
            cmp "$golden" "$output/$name" || fail "$name differs from tests/models/golden"
            cmp "$scratch/linux-models/$name" "$output/$name" ||
                fail "$name differs from the Debian package's plug-in's"
            count=$((count + 1))
        done
        echo "$count files byte-identical to the golden files and the Linux plug-in's"
    }
    cmpinfo_exe_accepts() {
        cd "$output"
        for file in *.cmp; do
            wine "C:\\release-test\\$folder\\cmpinfo.exe" --check "$file"
        done
    }
    version_resource() {
        wrestool --extract --raw --type=16 "$unpacked/$folder/cmpexport.dll" |
            python3 "$root/scripts/version_resource.py" >"$scratch/resource.txt"
        cat "$scratch/resource.txt"
        for line in "FixedFileVersion=$version.0" "FixedProductVersion=$version.0" \
            "FileVersion=$version" "ProductVersion=$version" \
            "OriginalFilename=cmpexport.dll"; do
            grep -qxF "$line" "$scratch/resource.txt" || fail "the resource lacks $line"
        done
        grep -q '^FileDescription=..*' "$scratch/resource.txt" || fail "no FileDescription"
    }
    one_version() {
        exe=$(cd "$output" && wine "C:\\release-test\\$folder\\cmpinfo.exe" --version | tr -d '\r')
        deb_version=$(dpkg-deb -f "$root"/dist/cmpexport_"$version"_*.deb Version)
        echo "CMakeLists.txt:          $version"
        echo "modelhost --version:     $(run_clean "$scratch/debroot/usr/bin/modelhost" --version)"
        echo "cmpinfo --version:       $(run_clean "$scratch/debroot/usr/bin/cmpinfo" --version)"
        echo "cmpinfo.exe --version:   $exe"
        echo "cmpexport.dll resource:  $(grep '^FileVersion=' "$scratch/resource.txt")"
        echo "Debian package:          $deb_version"
        [ "$exe" = "cmpinfo $version" ]
        [ "$deb_version" = "$version" ]
        versions "$scratch/debroot/usr/bin"
        grep -qxF "FileVersion=$version" "$scratch/resource.txt"
    }

    rm -rf "$WINEPREFIX"
    check "a fresh 32-bit Wine prefix" setup_wine
    wineserver -p5
    check "the zip holds the DLL, cmpinfo.exe, the README and the licence only" zip_holds
    mkdir -p "$unpacked"
    unzip -q "$zip" -d "$unpacked"
    check "the zip's programs need no DLL but Windows' own and the host's" needs_only_windows
    check "winhost.exe exports with the zip's DLL: byte-identical files" export_under_wine
    check "the zip's cmpinfo.exe accepts every file the DLL wrote" cmpinfo_exe_accepts
    check "the DLL's version resource" version_resource
    check "one version everywhere" one_version
    mkdir -p "$WINEPREFIX/drive_c/addon-test"
    unzip -q "$addon_zip" -d "$WINEPREFIX/drive_c/addon-test"
    check "the Windows add-on's programs need no DLL but Windows' own and each other" \
        addon_needs_only_windows
    check "the Windows add-on's modelhost.exe exports the ship's glTF with its own plug-in" \
        addon_modelhost_exports
    wineserver -k || true
    exit 0
fi

# ---- The Linux side ----
started=$(date +%s)
if [ "${1:-}" != "--packaged" ]; then
    scripts/package.sh
fi
packaged=$(date +%s)
echo "== release tests"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/cmpexport-release.XXXXXX")
moved="$linux_build.moved-away"
cleanup() {
    # The build folder always comes back, whatever ended the run.
    if [ -d "$moved" ] && [ ! -e "$linux_build" ]; then
        mv "$moved" "$linux_build"
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
: >"$scratch/results"

# What the Windows side borrows from the test builds.
if [ ! -f "$win_test_build/CMakeCache.txt" ]; then
    cmake -S . -B "$win_test_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$win_test_build" -j2 --target winhost ztModelLib
if [ ! -f "$ref_build/CMakeCache.txt" ]; then
    cmake -S . -B "$ref_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$ref_build" -j2 --target cmp_write_models

prefix="$scratch/prefix"
check "cmake --install into a scratch prefix" \
    cmake --install "$linux_build" --prefix "$prefix"
mv "$linux_build" "$moved"
check "installed: the build folder moved away, the ship exports from elsewhere" \
    export_ship "$prefix/bin" "$prefix/lib/cmpexport/libcmpexport.so"
check "installed: the programs tell the version" versions "$prefix/bin"
check "installed: no RUNPATH leaves the installed tree" runpaths "$prefix"
mv "$moved" "$linux_build"

deb=$(ls dist/cmpexport_"$version"_*.deb)
deb_holds() {
    dpkg-deb -c "$deb" | awk '{ print $NF }' | grep -v '/$' | sort >"$scratch/deb-contents"
    printf '%s\n' ./usr/bin/cmpinfo ./usr/bin/modelhost \
        ./usr/lib/cmpexport/libcmpexport.so ./usr/lib/cmpexport/libztModelLib.so \
        ./usr/lib/cmpexport/libcmpexport_gtk.so \
        ./usr/share/doc/cmpexport/CHANGELOG.md ./usr/share/doc/cmpexport/LICENSE \
        ./usr/share/doc/cmpexport/README.md ./usr/share/man/man1/cmpinfo.1.gz \
        ./usr/share/man/man1/modelhost.1.gz \
        ./usr/share/cmpexport/blender/cmpexport/__init__.py \
        ./usr/share/cmpexport/blender/cmpexport/export.py \
        ./usr/share/cmpexport/blender/cmpexport/import_.py \
        ./usr/share/cmpexport/blender/cmpexport/programs.py \
        ./usr/share/cmpexport/blender/cmpexport/scene_file.py \
        ./usr/share/cmpexport/blender/cmpexport/scene_parts.py | sort >"$scratch/deb-expected"
    cat "$scratch/deb-contents"
    diff "$scratch/deb-expected" "$scratch/deb-contents"
}
deb_depends() {
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    # The runtime libraries of Assimp, GTK, Cairo (the pictures), the C++ runtime and the
    # C library, as dpkg-shlibdeps found them; the private stand-in model library is none
    # of them.
    for package in libassimp5 'libgtk-3-0' libcairo2 'libstdc\+\+6' libc6; do
        echo "$depends" | tr ',' '\n' | grep -qE "^ *$package( |$)" ||
            fail "Depends lacks $package"
    done
    if echo "$depends" | grep -qi ztmodellib; then
        fail "Depends names the stand-in model library"
    fi
}
man_pages() {
    for program in modelhost cmpinfo; do
        page="$scratch/debroot/usr/share/man/man1/$program.1.gz"
        MANWIDTH=80 man -l "$page" >"$scratch/$program.txt" 2>"$scratch/man-errors.txt"
        [ ! -s "$scratch/man-errors.txt" ] || fail "$program.1: $(cat "$scratch/man-errors.txt")"
        for part in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' EXAMPLES 'SEE ALSO' \
            '--version' '--help'; do
            grep -qF -- "$part" "$scratch/$program.txt" || fail "$program.1 lacks '$part'"
        done
        echo "$program.1: $(wc -l <"$scratch/$program.txt") lines"
    done
}
linux_models() {
    mkdir "$scratch/linux-models"
    cd "$scratch/linux-models"
    "$ref_build/bin/cmp_write_models" "$scratch/debroot/usr/lib/cmpexport/libcmpexport.so" . \
        >/dev/null
    ls
}
check "the Debian package holds the programs, the libraries, man pages, docs and the Blender add-on only" deb_holds
check "the Debian package's Depends line" deb_depends
check "dpkg-deb -x into a scratch root" dpkg-deb -x "$deb" "$scratch/debroot"
check "unpacked package: the ship exports from outside the build" \
    export_ship "$scratch/debroot/usr/bin" "$scratch/debroot/usr/lib/cmpexport/libcmpexport.so"
check "unpacked package: the man pages render" man_pages
check "unpacked package: its plug-in writes the comparison models" linux_models

# Blender with a user folder of its own, from an environment whose Python is the system's.
# blender_run USER_FOLDER ARGUMENTS...: release_check.py's ARGUMENTS; what it said.
blender_run() {
    user=$1
    shift
    env -i PATH=/usr/bin:/bin HOME="$scratch" LANG=C.UTF-8 TMPDIR="$scratch" \
        BLENDER_USER_SCRIPTS="$user" BLENDER_USER_CONFIG="$user/config" \
        blender --background --factory-startup --python-exit-code 1 \
        --python "$root/tests/blender/release_check.py" -- "$@" >"$user/blender.log" 2>&1 ||
        fail "Blender failed: $(tail -n 20 "$user/blender.log")"
    grep -E '^(add-on|exported|registered)' "$user/blender.log"
}
addon_zip=$(absolute "dist/cmpexport-blender-$version.zip")
addon_files="cmpexport/__init__.py cmpexport/export.py cmpexport/import_.py
    cmpexport/programs.py cmpexport/scene_file.py cmpexport/scene_parts.py"
addon_zip_holds() {
    unzip -Z1 "$addon_zip" | grep -v '/$' | sort >"$scratch/addon-contents"
    printf '%s\n' $addon_files | sort >"$scratch/addon-expected"
    cat "$scratch/addon-contents"
    diff "$scratch/addon-expected" "$scratch/addon-contents"
    tuple=$(echo "$version" | sed 's/\./, /g')
    unzip -p "$addon_zip" cmpexport/__init__.py | grep -qF "\"version\": ($tuple)," ||
        fail "the add-on's bl_info does not give version $version"
}
addon_from_zip() {
    mkdir -p "$scratch/blender-zip/out"
    blender_run "$scratch/blender-zip" zip "$addon_zip" "$scratch/blender-zip/out" \
        "$scratch/debroot/usr/bin/modelhost"
}
addon_from_package() {
    mkdir -p "$scratch/blender-deb/addons" "$scratch/blender-deb/out"
    ln -s "$scratch/debroot/usr/share/cmpexport/blender/cmpexport" "$scratch/blender-deb/addons/"
    blender_run "$scratch/blender-deb" folder "$scratch/blender-deb/out"
}
windows_addon_zip=$(absolute "dist/cmpexport-blender-$version-windows.zip")
windows_addon_zip_holds() {
    unzip -Z1 "$windows_addon_zip" | grep -v '/$' | sort >"$scratch/windows-addon-contents"
    {
        printf '%s\n' $addon_files
        for file in $windows_addon_programs LICENSE.txt README-Windows.txt; do
            echo "cmpexport/bin/$file"
        done
    } | sort >"$scratch/windows-addon-expected"
    cat "$scratch/windows-addon-contents"
    diff "$scratch/windows-addon-expected" "$scratch/windows-addon-contents"
}
# The same add-on as the zip for Linux, and the same texts as the Windows zip.
windows_addon_is_the_same() {
    for file in $addon_files; do
        unzip -p "$addon_zip" "$file" >"$scratch/from-addon-zip"
        unzip -p "$windows_addon_zip" "$file" >"$scratch/from-windows-addon-zip"
        cmp "$scratch/from-addon-zip" "$scratch/from-windows-addon-zip" ||
            fail "$file differs from the one in $(basename "$addon_zip")"
    done
    windows_zip=$(ls dist/cmpexport-"$version"-windows-x86.zip)
    for text in README-Windows.txt LICENSE.txt; do
        unzip -p "$windows_zip" "cmpexport-$version-windows-x86/$text" >"$scratch/from-windows-zip"
        unzip -p "$windows_addon_zip" "cmpexport/bin/$text" >"$scratch/from-windows-addon-zip"
        cmp "$scratch/from-windows-zip" "$scratch/from-windows-addon-zip" ||
            fail "cmpexport/bin/$text differs from the one in $(basename "$windows_zip")"
    done
    echo "the package's files are the add-on zip's; the texts are the Windows zip's"
}
addon_for_windows_registers() {
    mkdir -p "$scratch/blender-windows"
    blender_run "$scratch/blender-windows" registers "$windows_addon_zip"
}
check "the Blender add-on's zip holds its package with the release's version" addon_zip_holds
check "Blender installs the add-on from its zip and exports with it" addon_from_zip
check "Blender takes the add-on from the unpacked package; it finds the package's modelhost" \
    addon_from_package
check "the Windows add-on's zip holds the package and the Windows programs in its bin folder" \
    windows_addon_zip_holds
check "the Windows add-on's package is the add-on zip's, its texts the Windows zip's" \
    windows_addon_is_the_same
check "Blender installs the Windows add-on from its zip and it registers" \
    addon_for_windows_registers

xvfb-run -a "$root/scripts/test-release.sh" --windows-inside-x "$scratch"

finished=$(date +%s)
passed=$(grep -c '^ok$' "$scratch/results" || true)
failed=$(grep -c '^failed$' "$scratch/results" || true)
echo "packages made in $((packaged - started)) s, tested in $((finished - packaged)) s"
echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
