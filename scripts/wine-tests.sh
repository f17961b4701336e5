#!/usr/bin/env bash
# The Windows tests alone: builds the 32-bit build (the product) and runs its test program under
# Wine in WoW64 mode and Xvfb, inside the root of scripts/wine-root.sh, passing on any arguments
# (a --gtest_filter, say). On a machine that runs no 32-bit code it runs the 64-bit build of the
# same sources instead, as the test command does. Runs as root, like the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-win32
toolchain=cmake/mingw-i686.cmake
if ! bash scripts/runs-32bit-code.sh; then
    build=build-win64
    toolchain=cmake/mingw-x86_64.cmake
fi
cmake -S . -B "$build" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target quillfeed_tests pxQuillfeed pellix pellix_nosetstatus \
    feeddump >/dev/null
export WINE_BUILD_DIR="$PWD/$build"
source scripts/wine-env.sh
bash scripts/tls-certs.sh build-tls
rm -f build-tls/ports.txt
python3 scripts/tls-front.py build-tls build-tls/ports.txt >/dev/null 2>&1 &
front=$!
proxies=$(bash scripts/test-proxies.sh build-proxies build-proxies/ports.txt)
trap 'kill $front $proxies 2>/dev/null; wine_untrust_ca; wine_stop' EXIT
for _ in $(seq 100); do [ -f build-tls/ports.txt ] && break; sleep 0.1; done
wine_start
wine_trust_ca build-tls/ca.crt
status=0
wine_run_x "$build/quillfeed_tests.exe" --plugin="$build/pxQuillfeed.dll" \
    --pellix="$build/pellix.exe" --tls-front=build-tls/ports.txt --proxies=build-proxies/ports.txt \
    "$@" || status=$?
exit $status
