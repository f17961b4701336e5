#!/usr/bin/env bash
# Checks that the plug-in DLL exports exactly the names of its export list, undecorated.
set -euo pipefail
dll=$1
expected=$(grep -E '^\s+PXC_' "$(dirname "$0")/../res/pxQuillfeed.def" | tr -d ' \r' | sort)
actual=$(i686-w64-mingw32-objdump -p "$dll" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -oE 'PXC_[A-Za-z]+|DllMain' | sort)
if [ "$expected" != "$actual" ]; then
    echo "the DLL's exports differ from res/pxQuillfeed.def:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "$(echo "$actual" | wc -l) exports, as listed"
