#!/usr/bin/env bash
# The main job: builds both builds, then runs the plug-in in the stand-in host, natively and under
# Wine, and shows what it does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/install-deps.sh
mkdir -p build-logs

step() { printf '\n=== %s\n' "$*"; }

step "building: native"
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=Release >build-logs/demo-configure.log
cmake --build build-demo -j2 >build-logs/demo-build.log
step "building: win32 (the product, 32-bit) and win32 (64-bit, for Wine)"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >build-logs/win32-configure.log
cmake --build build-win32 -j2 --target pxQuillfeed pellix >build-logs/win32-build.log
bash scripts/check-exports.sh build-win32/pxQuillfeed.dll
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >build-logs/win64-configure.log
cmake --build build-win64 -j2 --target pxQuillfeed pellix >build-logs/win64-build.log
ls -l build-win32/pxQuillfeed.dll build-demo/pxQuillfeed.so

demo_host() {
    local label=$1
    shift
    local pellix=("$@")
    local data
    data=$(mktemp -d)
    step "$label: the stand-in host loads the plug-in"
    "${pellix[@]}" --data "$data" load
    "${pellix[@]}" --data "$data" info
    rm -rf "$data"
}

demo_host native build-demo/pellix

export WINE_BUILD_DIR="$root/build-win64"
source scripts/wine-env.sh
wine_start
demo_host "Wine" "$WINE" build-win64/pellix.exe
wine_stop
