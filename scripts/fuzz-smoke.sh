#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a short fixed number of runs over its seeds.
set -uo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$build"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    seeds="$root/fuzz/seeds/$name"
    args=(-runs=2000 -seed=1)
    [ -d "$seeds" ] && args+=("$seeds")
    if "$target" "${args[@]}" >"$root/build-logs/$name.log" 2>&1; then
        echo "$name: 2000 runs, no finding"
    else
        echo "$name: FINDING (see build-logs/$name.log)"
        tail -20 "$root/build-logs/$name.log"
        status=1
    fi
done
exit $status
