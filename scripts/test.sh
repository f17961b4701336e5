#!/usr/bin/env bash
# The test command: installs what is missing, builds both builds and runs every test.
#   the code check: no banned call, and the include directions of docs/architecture.md
#   two real proxies on loopback for the proxy tests (scripts/test-proxies.sh), beside the TLS
#   front of the https tests
#   native, with AddressSanitizer and UndefinedBehaviorSanitizer: the whole suite
#   the browser test: the demo's preview pages in headless Chromium (scripts/browser-test.py)
#   native, with ThreadSanitizer: the tests of the threaded refresh path (quillfeed_thread_tests)
#   native, with clang and libFuzzer: every fuzz target for a short fixed number of runs
#   win32, the product (32-bit): built, its export list checked, then under Wine in WoW64 mode
#     (scripts/wine-root.sh) and Xvfb: the whole suite, end-to-end tests through pellix.exe
#     included, the Windows package (scripts/check-package.sh), then every corpus feed read by
#     both builds' readers, failing on a difference that docs/reader-differences.md does not list.
#     On a machine whose kernel runs no 32-bit code (scripts/probe-32bit-code.c says so), no Wine
#     can start the product: the same Windows tests then run on the 64-bit build of the same
#     sources (build-win64), and the summary says so; and the product itself, the 32-bit build,
#     runs its smoke in an emulated machine whose kernel runs 32-bit code
#     (scripts/emulated-machine.sh, scripts/product-smoke.py), whose counts join the summary.
# The shared corpus must be at ../shared/corpus. The last line sums up every suite: passed, failed
# and skipped tests; a skip that tests/allowed-skips.txt does not list fails the run.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=2
started=$SECONDS

bash scripts/install-deps.sh || exit 1

passed=0
failed=0
skipped=0
failures=()
mkdir -p build-logs

fail() {
    failures+=("$1")
    failed=$((failed + 1))
}

# Runs one gtest program under the name `run`; adds its counts to the totals.
run_suite() {
    local run=$1
    shift
    local log="$root/build-logs/$run.log"
    echo "== $run"
    "$@" >"$log" 2>&1
    local status=$?
    local ok bad skip
    ok=$(grep -E '^\[  PASSED  \] [0-9]+ test' "$log" | grep -oE '[0-9]+' | head -1)
    bad=$(grep -E '^\[  FAILED  \] [0-9]+ test' "$log" | grep -oE '[0-9]+' | head -1)
    skip=$(grep -E '^\[  SKIPPED \] [0-9]+ test' "$log" | grep -oE '[0-9]+' | head -1)
    ok=${ok:-0} bad=${bad:-0} skip=${skip:-0}
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1
    fi
    if [ "$ok" -eq 0 ] && [ "$bad" -eq 0 ]; then
        echo "$run: ran no test at all"
        bad=1
    fi
    passed=$((passed + ok))
    failed=$((failed + bad))
    skipped=$((skipped + skip))
    [ "$bad" -ne 0 ] && failures+=("$run")
    # The summary lists every skipped test once, after "N tests, listed below:".
    local name
    while read -r name; do
        if ! grep -qE "^$run $name( |$)" tests/allowed-skips.txt; then
            echo "$run: $name skipped, and tests/allowed-skips.txt gives no reason for it"
            fail "$run: unlisted skip"
        fi
    done < <(tr -d '\r' <"$log" | sed -n '/^\[  SKIPPED \] [0-9]* tests\?, listed below:/,/^$/p' |
        sed -n 's/^\[  SKIPPED \] \([^ ]*\)$/\1/p')
    if [ "$bad" -ne 0 ]; then
        grep -E '^\[  FAILED  \]|Failure|ERROR: |SUMMARY: ' "$log" | head -40
    fi
    echo "$run: $ok passed, $bad failed, $skip skipped"
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
        fail "build $dir"
        return 1
    }
}

echo "== code check"
if python3 scripts/check-code.py >build-logs/code-check.log 2>&1; then
    passed=$((passed + 1))
else
    cat build-logs/code-check.log
    fail "code check"
fi

if [ ! -d ../shared/corpus/feeds ] || [ -z "$(ls -A ../shared/corpus/feeds 2>/dev/null)" ]; then
    echo "the shared corpus is missing: expected it at $(dirname "$root")/shared/corpus"
    fail "corpus"
fi

# A host in another script is reached by its ASCII form, which the hosts file names for the tests
# (scripts/wine-env.sh does the same in the Wine root).
grep -qxF "127.0.0.1 xn--bcher-kva.example" /etc/hosts ||
    echo "127.0.0.1 xn--bcher-kva.example" >>/etc/hosts

# The https tests: certificates of their own, and a TLS front on loopback before their plain
# servers (scripts/tls-front.py). Natively the tests' CA is trusted through OpenSSL's
# SSL_CERT_FILE, under Wine through the root's trust store.
tls_ports="$root/build-tls/ports.txt"
rm -f "$tls_ports"
if bash scripts/tls-certs.sh build-tls; then
    python3 scripts/tls-front.py build-tls "$tls_ports" >build-logs/tls-front.log 2>&1 &
    front=$!
    trap 'kill $front 2>/dev/null' EXIT
    for _ in $(seq 100); do [ -f "$tls_ports" ] && break; sleep 0.1; done
fi
[ -f "$tls_ports" ] || { echo "the TLS front did not start"; fail "tls front"; }

# The proxy tests: two real proxies on loopback, an open one and one that asks for a login.
proxy_ports="$root/build-proxies/ports.txt"
proxies=$(bash scripts/test-proxies.sh build-proxies "$proxy_ports") || fail "test proxies"
trap 'kill $front $proxies 2>/dev/null' EXIT

if build build-native -DCMAKE_BUILD_TYPE=Debug -DQF_SANITIZE=address,undefined; then
    run_suite native env SSL_CERT_FILE="$root/build-tls/ca.crt" ./build-native/quillfeed_tests \
        --plugin=build-native/pxQuillfeed.so --pellix=build-native/pellix --tls-front="$tls_ports" \
        --proxies="$proxy_ports"
    echo "== browser"
    if python3 scripts/browser-test.py build-native >build-logs/browser.log 2>&1; then
        passed=$((passed + 1))
    else
        fail browser
        head -40 build-logs/browser.log
    fi
    tail -1 build-logs/browser.log
fi

if build build-tsan -DCMAKE_BUILD_TYPE=Debug -DQF_SANITIZE=thread -- \
    --target quillfeed_thread_tests pxQuillfeed pellix pellix_nosetstatus; then
    run_suite native-threads env SSL_CERT_FILE="$root/build-tls/ca.crt" \
        ./build-tsan/quillfeed_thread_tests --plugin=build-tsan/pxQuillfeed.so \
        --pellix=build-tsan/pellix --tls-front="$tls_ports" --proxies="$proxy_ports"
fi

if build build-fuzz -DCMAKE_BUILD_TYPE=Debug -DQF_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -- --target fuzz_targets; then
    echo "== fuzz"
    if bash scripts/fuzz-smoke.sh build-fuzz; then passed=$((passed + 1)); else fail fuzz; fi
fi

windows=build-win32
windows_note=""
smoke_note=""
# QF_ASSUME_NO_32BIT=1 takes the road of a machine that runs no 32-bit code on one that does.
if [ -n "${QF_ASSUME_NO_32BIT:-}" ] || ! bash scripts/runs-32bit-code.sh >build-logs/probe-32bit.log 2>&1; then
    windows=build-win64
    windows_note="the Windows tests ran on the 64-bit build: this machine runs no 32-bit code"
    [ -n "${QF_ASSUME_NO_32BIT:-}" ] &&
        windows_note="the Windows tests ran on the 64-bit build: QF_ASSUME_NO_32BIT took the road of a machine that runs no 32-bit code"
    echo "== $windows_note (scripts/probe-32bit-code.c), so no Wine can start the 32-bit product"
fi
if build build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release &&
    { [ "$windows" = build-win32 ] ||
        build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release; }; then
    echo "== win32 exports"
    if bash scripts/check-exports.sh build-win32/pxQuillfeed.dll; then
        passed=$((passed + 1))
    else
        fail "win32 exports"
    fi
    export WINE_BUILD_DIR="$root/$windows"
    source scripts/wine-env.sh
    if wine_start && wine_trust_ca build-tls/ca.crt; then
        run_suite wine wine_run_x "$windows/quillfeed_tests.exe" \
            --plugin="$windows/pxQuillfeed.dll" --pellix="$windows/pellix.exe" \
            --tls-front="$tls_ports" --proxies="$proxy_ports"
        echo "== windows package"
        if bash scripts/check-package.sh >build-logs/package.log 2>&1; then
            passed=$((passed + 1))
        else
            fail "windows package"
        fi
        tail -2 build-logs/package.log
        wine_untrust_ca
        wine_stop
        if [ -x build-native/feeddump ]; then
            echo "== reader comparison"
            if bash scripts/compare-corpus.sh build-native "$windows" \
                >build-logs/reader-comparison.log 2>&1; then
                passed=$((passed + 1))
            else
                fail "reader comparison"
                grep -E 'NOT LISTED|failed|missing' build-logs/reader-comparison.log | head -40
            fi
            tail -1 build-logs/reader-comparison.log
        fi
    else
        fail "wine root"
    fi
    # Where no Wine here can start the product, it is started in an emulated machine whose kernel
    # runs 32-bit code (scripts/emulated-machine.sh): a smoke of what users run.
    if [ "$windows" = build-win64 ]; then
        echo "== the 32-bit product in an emulated machine"
        QF_VM_TIMEOUT=1500 bash scripts/emulated-machine.sh smoke build-win32 \
            >build-logs/product-smoke.log 2>&1
        smoke_status=$?
        summary=$(grep -E '^product smoke: ' build-logs/product-smoke.log | tail -1)
        ok=$(echo "$summary" | grep -oE '[0-9]+ passed' | grep -oE '[0-9]+')
        bad=$(echo "$summary" | grep -oE '[0-9]+ failed' | grep -oE '[0-9]+')
        ok=${ok:-0} bad=${bad:-0}
        if [ "$smoke_status" -ne 0 ] && [ "$bad" -eq 0 ]; then
            bad=1
        fi
        passed=$((passed + ok))
        failed=$((failed + bad))
        if [ "$bad" -ne 0 ]; then
            failures+=("product smoke")
            grep -E 'FAIL|ended before|could not' build-logs/product-smoke.log | head -20
        fi
        smoke_note=${summary:-"product smoke: it did not run (see build-logs/product-smoke.log)"}
        echo "$smoke_note"
    fi
fi

echo
echo "took $((SECONDS - started)) s"
if [ ${#failures[@]} -gt 0 ]; then
    echo "failed: ${failures[*]}"
fi
[ -n "$windows_note" ] && echo "note: $windows_note"
[ -n "$smoke_note" ] && echo "$smoke_note"
echo "all suites: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
