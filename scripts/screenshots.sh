#!/usr/bin/env bash
# Pictures of the styles for the docs: runs the demo's story natively, then has headless Chromium
# take a picture of one message in each style (docs/style-NAME.png, 760 pixels wide).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/demo.sh --native >/dev/null
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
for css in RssStyles/*.css; do
    name=$(basename "$css" .css)
    chromium --headless --no-sandbox --disable-gpu --user-data-dir="$profile" --hide-scrollbars \
        --window-size=760,940 --virtual-time-budget=5000 --screenshot="docs/style-$name.png" \
        "file://$PWD/build-logs/demo/native/preview/style-$name.html" >/dev/null 2>&1
    echo "docs/style-$name.png"
done
