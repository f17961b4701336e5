#!/usr/bin/env bash
# The benchmark command: installs what is missing (Google Benchmark, Debian's feedparser, GNU
# time), builds the native Release build with the benchmarks in build-bench, and prints every
# figure of a refresh beside its target (scripts/bench-report.py). With --wine, the 32-bit
# product's whole refresh under Wine is timed too (informational; builds build-win32 and the
# Wine root if needed). Other arguments go to the report, e.g. --repetitions 30. Runs as root,
# like the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh libbenchmark-dev python3-feedparser time
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQF_BENCH=ON >/dev/null
cmake --build build-bench -j2 --target bench_refresh pxQuillfeed pellix >/dev/null
report=(build-bench)
if [ "${1:-}" = "--wine" ]; then
    shift
    cmake -S . -B build-win32 --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build-win32 -j2 --target pxQuillfeed pellix >/dev/null
    report+=(--win32 build-win32)
fi
exec /usr/bin/python3 scripts/bench-report.py "${report[@]}" "$@"
