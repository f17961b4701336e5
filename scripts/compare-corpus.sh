#!/usr/bin/env bash
# Reads every feed of the shared corpus with both builds' readers and compares what they deliver:
# the POSIX build's feeddump natively, the 32-bit Windows build's under Wine (scripts/wine-env.sh).
# Fails on a feed that differs but is not listed, with its reason, in docs/reader-differences.md,
# and when there is no corpus to read.
#   scripts/compare-corpus.sh BUILD_NATIVE BUILD_WIN32
# QF_CORPUS_DIR names another corpus folder (the default is ../shared/corpus beside the project).
set -uo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_NATIVE BUILD_WIN32" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
native_build=$(cd "$1" && pwd) || exit 2
windows_build=$(cd "$2" && pwd) || exit 2
corpus=${QF_CORPUS_DIR:-$root/../shared/corpus}

if [ ! -d "$corpus/feeds" ] || [ -z "$(ls -A "$corpus/feeds" 2>/dev/null)" ]; then
    echo "reader comparison: no feed corpus at $corpus/feeds" >&2
    exit 1
fi
corpus=$(cd "$corpus" && pwd)
for program in "$native_build/feeddump" "$windows_build/feeddump.exe"; do
    if [ ! -x "$program" ]; then
        echo "reader comparison: $program is missing (build the feeddump target)" >&2
        exit 1
    fi
done

# Inside the checkout, where the Windows program can write too.
mkdir -p "$windows_build/tmp"
scratch=$(mktemp -d "$windows_build/tmp/compare.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
files=("$corpus"/feeds/*)

"$native_build/feeddump" "$scratch/native.txt" "${files[@]}" || {
    echo "reader comparison: the native feeddump failed" >&2
    exit 1
}

export WINE_BUILD_DIR="$windows_build"
source "$root/scripts/wine-env.sh"
wine_start
# Wine sees the whole file system as drive Z:, so the dump can be written straight to the scratch
# folder; the feeds are passed as they are, which Wine resolves on the same drive.
windows_out="Z:${scratch//\//\\}\\windows.txt"
QF_WINE_TIMEOUT=900 wine_run "$windows_build/feeddump.exe" "$windows_out" "${files[@]}"
status=$?
wine_stop
if [ $status -ne 0 ] || [ ! -f "$scratch/windows.txt" ]; then
    echo "reader comparison: the Windows feeddump failed under Wine (status $status)" >&2
    exit 1
fi

python3 "$root/scripts/compare-readers.py" "$scratch/native.txt" "$scratch/windows.txt" \
    "$root/docs/reader-differences.md"
