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
step "building: win32 (the product, 32-bit)"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >build-logs/win32-configure.log
cmake --build build-win32 -j2 --target pxQuillfeed pellix >build-logs/win32-build.log
bash scripts/check-exports.sh build-win32/pxQuillfeed.dll
ls -l build-win32/pxQuillfeed.dll build-demo/pxQuillfeed.so

# The sample feeds, served on 127.0.0.1 at a free port for as long as the demo runs.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory samples >build-logs/demo-http.log 2>&1 &
server=$!
trap 'kill $server 2>/dev/null' EXIT
sleep 1
feeds="http://127.0.0.1:$port"

# One run of the whole story in a fresh mail store, with a fresh copy of the plug-in so that its
# settings file starts empty.
demo_host() {
    local label=$1 build=$2 module=$3
    shift 3
    local runner=("$@")
    local data
    # Inside the checkout, where the Windows programs under Wine can reach it too.
    mkdir -p build-logs/demo
    data=$(mktemp -d "$root/build-logs/demo/run.XXXXXX")
    mkdir -p "$data/plugin"
    cp "$build/$module" "$data/plugin/"
    cp -r RssStyles "$data/plugin/"
    pellix() { "${runner[@]}" --data "$data/store" --plugin "$data/plugin/$module" "$@"; }

    step "$label: the stand-in host loads the plug-in"
    pellix load
    pellix info
    pellix menu
    step "$label: three feed folders are set up in the set-up dialog"
    pellix mkfolder Harbour
    pellix mkfolder Garden
    pellix mkfolder Library
    pellix setup Harbour --url "$feeds/harbour-news.rss" --style paper.css --click 5 --auto 30
    pellix setup Garden --url "$feeds/garden-notes.atom" --style night.css
    pellix setup Library --url "$feeds/library-rdf.rdf"
    step "$label: the update command refreshes Harbour"
    pellix update Harbour
    pellix list Harbour
    step "$label: opening Garden refreshes it (its click interval has run out)"
    pellix open Garden
    pellix list Garden
    step "$label: the minute timer refreshes every due folder; items already there are skipped"
    pellix tick
    pellix list Library
    pellix list Harbour
    step "$label: a Harbour message as the mail client shows it, in the folder's style"
    pellix show Harbour 1
    echo
    step "$label: the settings file"
    cat "$data/plugin/pxQuillfeed.ini"
    rm -rf "$data"
}

demo_host native build-demo pxQuillfeed.so build-demo/pellix

# Under Wine (the 32-bit product in WoW64 mode, inside the root of scripts/wine-root.sh) the
# set-up dialog is a real window: one virtual screen in that root serves the whole run.
export WINE_BUILD_DIR="$root/build-win32"
source scripts/wine-env.sh
wine_start
display=:$((100 + RANDOM % 800))
in_wine_root Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >build-logs/demo-xvfb.log 2>&1 &
xvfb=$!
trap 'kill $server $xvfb 2>/dev/null; pkill -f "Xvfb $display" 2>/dev/null; wine_stop' EXIT
export DISPLAY=$display
sleep 1
demo_host "Wine" build-win32 pxQuillfeed.dll wine_run build-win32/pellix.exe
