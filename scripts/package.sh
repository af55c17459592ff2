#!/bin/sh
# Makes the release packages into dist/:
#   cmpexport_VERSION_ARCH.deb             modelhost, cmpinfo, the plug-in and the stand-in
#                                          model library (in /usr/lib/cmpexport), man pages
#                                          and documentation
#   cmpexport-VERSION-windows-x86.zip      cmpexport.dll, cmpinfo.exe, README-Windows.txt
#                                          and LICENSE.txt
#   cmpexport-blender-VERSION.zip          the Blender add-on, as Blender's Preferences >
#                                          Add-ons > Install takes it
#   cmpexport-blender-VERSION-windows.zip  the same add-on carrying in cmpexport/bin/ what
#                                          it runs on Windows: modelhost.exe, cmpexport.dll,
#                                          ztModelLib.dll, cmpinfo.exe, with
#                                          README-Windows.txt and LICENSE.txt
# from release builds of their own, without tests or benchmarks: build-release/ and the
# MinGW cross build build-release-windows/ (CMPEXPORT_RELEASE_BUILD and
# CMPEXPORT_RELEASE_WIN_BUILD choose others). The version is the one in CMakeLists.txt.
#
#   scripts/package.sh
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
linux_build=${CMPEXPORT_RELEASE_BUILD:-$root/build-release}
windows_build=${CMPEXPORT_RELEASE_WIN_BUILD:-$root/build-release-windows}
case "$linux_build" in /*) ;; *) linux_build="$root/$linux_build" ;; esac
case "$windows_build" in /*) ;; *) windows_build="$root/$windows_build" ;; esac

scripts/deps.sh

echo "== Linux release build: $linux_build"
cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMPEXPORT_TESTS=OFF -DCMPEXPORT_BENCH=OFF
cmake --build "$linux_build" -j2

echo "== Windows release build: $windows_build"
cmake -S . -B "$windows_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMPEXPORT_TESTS=OFF -DCMPEXPORT_BENCH=OFF
cmake --build "$windows_build" -j2

# A Windows user has no compiler runtime: the programs in the zips must carry their own.
objdump=i686-w64-mingw32-objdump
. scripts/windows_programs.sh
for program in $windows_addon_programs; do
    [ -f "$windows_build/bin/$program" ] || {
        echo "package.sh: the Windows build has no $program" >&2
        exit 1
    }
    needs=$("$objdump" -p "$windows_build/bin/$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
    echo "$program needs:" $needs
    if echo "$needs" | grep -qiE '^(libstdc\+\+|libgcc|libwinpthread)'; then
        echo "package.sh: $program needs the compiler's runtime DLLs" >&2
        exit 1
    fi
done

mkdir -p dist
rm -f dist/cmpexport_*.deb dist/cmpexport-*.zip
for build in "$linux_build" "$windows_build"; do
    rm -rf "$build/packages"
    (cd "$build" && cpack --config CPackConfig.cmake -B "$build/packages")
    find "$build/packages" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.zip' \) \
        -exec cp {} dist/ \;
done
version=$(sed -n 's/^project(cmpexport VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
cp "$linux_build/dist/cmpexport-blender-$version.zip" dist/
# The Windows zip's own texts, with Windows' line ends.
files="$windows_build/generated/release/README-Windows.txt;$windows_build/generated/release/LICENSE.txt"
for name in $windows_addon_programs; do
    files="$files;$windows_build/bin/$name"
done
cmake "-DADDON_ZIP=$root/dist/cmpexport-blender-$version.zip" "-DFILES=$files" \
    -DSTRIP=i686-w64-mingw32-strip "-DZIP=$root/dist/cmpexport-blender-$version-windows.zip" \
    -P blender/zip_windows_addon.cmake
echo "== packages"
ls -l dist/cmpexport_*.deb dist/cmpexport-*.zip
