#!/usr/bin/env bash
# Builds the 64-bit Windows build and runs the test program under Wine and Xvfb, passing on any
# arguments (a --gtest_filter, say). For a quick loop, reuse a prefix: QF_WINEPREFIX=/tmp/wp64.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win64 -j2 --target quillfeed_tests pxQuillfeed pellix pellix_nosetstatus >/dev/null
export WINE_BUILD_DIR="$PWD/build-win64"
source scripts/wine-env.sh
wine_start
xvfb-run -a -s "-screen 0 1024x768x24" "$WINE" build-win64/quillfeed_tests.exe \
    --plugin=build-win64/pxQuillfeed.dll --pellix=build-win64/pellix.exe "$@"
