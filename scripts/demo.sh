#!/usr/bin/env bash
# The main job: builds the product and shows it at work in the stand-in host, then points at the
# preview pages of what it made.
#   bash scripts/demo.sh            the 32-bit product (pxQuillfeed.dll in pellix.exe) under Wine
#   bash scripts/demo.sh --native   the native build instead
#   bash scripts/demo.sh --both     one after the other
# Installs what is missing first (and makes the Wine root once, about a minute). The story itself
# is scripts/demo.py; build output goes to build-logs/. On a machine that runs no 32-bit code
# (scripts/runs-32bit-code.sh), where no Wine can start the product, the Windows story is told by
# the 64-bit build of the same sources, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mode=${1:---wine}
case "$mode" in --wine | --native | --both) ;; *)
    echo "usage: bash scripts/demo.sh [--native | --both]" >&2
    exit 2
    ;;
esac
bash scripts/install-deps.sh
mkdir -p build-logs
out="$root/build-logs/demo"

native() {
    echo "building the native build (build-demo) ..."
    cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=Release >build-logs/demo-configure.log
    cmake --build build-demo -j2 --target pxQuillfeed pellix >build-logs/demo-build.log
    python3 scripts/demo.py "$out/native" "native build" build-demo pxQuillfeed.so \
        "$root/build-demo/pellix"
}

wine() {
    local build=build-win32 toolchain=cmake/mingw-i686.cmake label="the 32-bit product under Wine"
    if ! bash scripts/runs-32bit-code.sh >/dev/null 2>&1; then
        build=build-win64
        toolchain=cmake/mingw-x86_64.cmake
        label="the 64-bit Windows build under Wine (this machine runs no 32-bit code)"
    fi
    echo "building $label ($build) ..."
    cmake -S . -B "$build" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release >"build-logs/$(basename "$build")-configure.log"
    cmake --build "$build" -j2 --target pxQuillfeed pellix >"build-logs/$(basename "$build").log"
    export WINE_BUILD_DIR="$root/$build"
    source scripts/wine-env.sh
    echo "starting Wine ..."
    wine_start
    # The set-up dialog is a real window under Wine: one virtual screen serves the whole run.
    display=:$((100 + RANDOM % 800))
    # Xvfb tells its own process id, so that only the server started here is ended (another
    # user's Xvfb on the same display number is none of ours).
    xvfb_pidfile="$root/build-logs/demo-xvfb.pid"
    rm -f "$xvfb_pidfile"
    in_wine_root bash -c 'echo $$ >"$0"; exec Xvfb "$@"' "$xvfb_pidfile" "$display" \
        -screen 0 1024x768x24 -nolisten tcp >build-logs/demo-xvfb.log 2>&1 &
    trap '[ -s "$xvfb_pidfile" ] && kill "$(cat "$xvfb_pidfile")" 2>/dev/null; wine_stop' EXIT
    export DISPLAY=$display
    sleep 1
    python3 scripts/demo.py "$out/wine" "$label" "$build" \
        pxQuillfeed.dll "$root/$build/pellix.exe" \
        bash -c 'source "$0"; wine_run "$@"' "$root/scripts/wine-env.sh"
}

case "$mode" in
--native) native ;;
--wine) wine ;;
--both) native && echo && wine ;;
esac
