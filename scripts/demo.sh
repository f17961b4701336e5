#!/usr/bin/env bash
# The main job: builds the product and shows it at work in the stand-in host, then points at the
# preview pages of what it made.
#   bash scripts/demo.sh            the 32-bit product (pxQuillfeed.dll in pellix.exe) under Wine
#   bash scripts/demo.sh --native   the native build instead
#   bash scripts/demo.sh --both     one after the other
# Installs what is missing first (and makes the Wine root once, about a minute). The story itself
# is scripts/demo.py; build output goes to build-logs/.
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
    echo "building the product, the 32-bit DLL (build-win32) ..."
    cmake -S . -B build-win32 --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=Release >build-logs/win32-configure.log
    cmake --build build-win32 -j2 --target pxQuillfeed pellix >build-logs/win32-build.log
    export WINE_BUILD_DIR="$root/build-win32"
    source scripts/wine-env.sh
    echo "starting Wine ..."
    wine_start
    # The set-up dialog is a real window under Wine: one virtual screen serves the whole run.
    display=:$((100 + RANDOM % 800))
    in_wine_root Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp \
        >build-logs/demo-xvfb.log 2>&1 &
    trap 'pkill -f "Xvfb $display" 2>/dev/null; wine_stop' EXIT
    export DISPLAY=$display
    sleep 1
    python3 scripts/demo.py "$out/wine" "the 32-bit product under Wine" build-win32 \
        pxQuillfeed.dll "$root/build-win32/pellix.exe" \
        bash -c 'source "$0"; wine_run "$@"' "$root/scripts/wine-env.sh"
}

case "$mode" in
--native) native ;;
--wine) wine ;;
--both) native && echo && wine ;;
esac
