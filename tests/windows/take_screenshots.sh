#!/bin/sh
# Screenshots of the DLL's save dialog and result dialog under Wine, for the docs:
#   tests/windows/take_screenshots.sh BUILD_DIR OUTPUT_DIR
# BUILD_DIR is a cross build (scripts/test-windows.sh makes build-windows/ with its Wine
# prefix). Writes wine-save-dialog.png, wine-result-dialog.png and
# wine-result-dialog-expanded.png.
set -eu
build=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${3:-}" != "--inside-x" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$out" --inside-x
fi

# Waits for a window titled $1 and prints its id.
window() {
    for _ in $(seq 100); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    echo "no window titled $1" >&2
    return 1
}

shots="$WINEPREFIX/drive_c/shots"
rm -rf "$shots" && mkdir -p "$shots"
(cd "$shots" && wine "$build/bin/winhost.exe" hold 'C:\shots') &
host=$!

save=$(window "Export QV CMP")
sleep 1.5
xdotool type --window "$save" "ship"
sleep 0.5
import -window "$save" "$out/wine-save-dialog.png"
# The host types its own answer once released; clear what was typed here first.
xdotool key --window "$save" ctrl+a BackSpace
touch "$shots/release-save"

result=$(window "Quorvane CMP Exporter")
sleep 1.5
import -window "$result" "$out/wine-result-dialog.png"
# What a user sees after selecting the tree and pressing * on the keypad: all expanded.
xdotool mousemove --window "$result" 40 60 click 1
sleep 0.3
xdotool key --window "$result" KP_Multiply
sleep 1
import -window "$result" "$out/wine-result-dialog-expanded.png"
touch "$shots/release-result"
wait "$host"
wineserver -w
