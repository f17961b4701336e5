#!/usr/bin/env bash
# The test command: installs what is missing, builds both builds and runs every test.
#   native, with AddressSanitizer and UndefinedBehaviorSanitizer: the whole suite
#   native, with ThreadSanitizer: the suites of the threaded refresh path
#   native, with clang and libFuzzer: every fuzz target for a short fixed number of runs
#   win32 (the product, 32-bit): built, its export list checked
#   win32 (64-bit, under Wine and Xvfb): the whole suite, then every corpus feed read by both
#     builds' readers, failing on a difference docs/reader-differences.md does not list
# It ends with one line that sums up every suite's cases.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=2

bash scripts/install-deps.sh || exit 1

passed=0
failed=0
failures=()

# Runs one gtest program; adds its counts to the totals.
run_suite() {
    local name=$1
    shift
    local log="$root/build-logs/$name.log"
    echo "== $name"
    "$@" >"$log" 2>&1
    local status=$?
    local ok bad
    ok=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$log" | grep -oE '[0-9]+' | head -1)
    bad=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$log" | grep -oE '[0-9]+' | head -1)
    ok=${ok:-0}
    bad=${bad:-0}
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1
    fi
    passed=$((passed + ok))
    failed=$((failed + bad))
    if [ "$bad" -ne 0 ]; then
        failures+=("$name")
        grep -E '^\[  FAILED  \]|Failure|ERROR: |SUMMARY: ' "$log" | head -40
    fi
    echo "$name: $ok passed, $bad failed"
}

build() {
    local dir=$1
    shift
    # Configure options, then "--" and build options.
    local configure=() building=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do configure+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    building=("$@")
    cmake -S . -B "$dir" "${configure[@]}" >"$root/build-logs/$(basename "$dir")-configure.log" 2>&1 &&
        cmake --build "$dir" -j"$jobs" "${building[@]}" >"$root/build-logs/$(basename "$dir").log" 2>&1 || {
        echo "build failed: $dir"
        tail -30 "$root/build-logs/$(basename "$dir").log"
        failures+=("build $dir")
        failed=$((failed + 1))
        return 1
    }
}

mkdir -p build-logs

if build build-native -DCMAKE_BUILD_TYPE=Debug -DQF_SANITIZE=address,undefined; then
    run_suite native ./build-native/quillfeed_tests \
        --plugin=build-native/pxQuillfeed.so --pellix=build-native/pellix
fi

if build build-tsan -DCMAKE_BUILD_TYPE=Debug -DQF_SANITIZE=thread; then
    run_suite native-threads ./build-tsan/quillfeed_tests --gtest_filter='Fetch*:Schedule*:ParseFeedConcurrency*:ComposeFeedDate*' \
        --plugin=build-tsan/pxQuillfeed.so --pellix=build-tsan/pellix
fi

if build build-fuzz -DCMAKE_BUILD_TYPE=Debug -DQF_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -- --target fuzz_targets; then
    bash scripts/fuzz-smoke.sh build-fuzz
    status=$?
    if [ $status -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=(fuzz); fi
fi

if build build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release; then
    echo "== win32 exports"
    if bash scripts/check-exports.sh build-win32/pxQuillfeed.dll; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        failures+=("win32 exports")
    fi
fi

if build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release; then
    export WINE_BUILD_DIR="$root/build-win64"
    source scripts/wine-env.sh
    wine_start
    run_suite wine xvfb-run -a -s "-screen 0 1024x768x24" "$WINE" build-win64/quillfeed_tests.exe \
        --plugin=build-win64/pxQuillfeed.dll --pellix=build-win64/pellix.exe
    wine_stop
    if [ -x build-native/feeddump ]; then
        echo "== reader comparison"
        if bash scripts/compare-corpus.sh build-native build-win64 >build-logs/reader-comparison.log 2>&1; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
            failures+=("reader comparison")
            grep -E 'NOT LISTED|failed|missing' build-logs/reader-comparison.log | head -40
        fi
        tail -1 build-logs/reader-comparison.log
    fi
fi

echo
if [ ${#failures[@]} -gt 0 ]; then
    echo "failed: ${failures[*]}"
fi
echo "all suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
