#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a short fixed number of runs over its seeds.
set -uo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
# Runs per target: enough to pass every seed and mutate for a few seconds.
runs=20000
# The real feeds of the shared corpus seed the feed targets too, when the corpus is there.
corpus=()
[ -d "$root/../shared/corpus/feeds" ] && corpus=("$root/../shared/corpus/feeds")
for target in "$build"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    # libFuzzer adds what it finds to the first folder it is given: a scratch one, so the seeds
    # in the repository stay as they are.
    scratch=$(mktemp -d)
    args=(-runs=$runs -seed=1 -max_len=65536 -rss_limit_mb=2048 "$scratch")
    [ -d "$root/fuzz/seeds/$name" ] && args+=("$root/fuzz/seeds/$name")
    case $name in
    fuzz_parse_feed) args+=(-dict="$root/fuzz/feed.dict" "${corpus[@]}") ;;
    fuzz_feed_document)
        # Each run composes and sanitizes every item too: fewer runs, the same seeds and more.
        args[0]=-runs=5000
        args+=(-dict="$root/fuzz/feed.dict" "$root/fuzz/seeds/fuzz_parse_feed" "${corpus[@]}")
        ;;
    fuzz_duplicate_subject | fuzz_seen_record) args[0]=-runs=2000 ;;
    esac
    if "$target" "${args[@]}" >"$root/build-logs/$name.log" 2>&1; then
        echo "$name: ${args[0]#-runs=} runs, no finding"
    else
        echo "$name: FINDING (see build-logs/$name.log)"
        tail -20 "$root/build-logs/$name.log"
        status=1
    fi
    rm -rf "$scratch"
done
exit $status
