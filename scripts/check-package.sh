#!/usr/bin/env bash
# Checks the Windows package: builds it (scripts/package.sh), checks that it holds exactly the
# files its INSTALL.txt lists, unpacks it as a user would into a plug-in folder and loads the DLL
# from there in the 32-bit stand-in host under Wine. Expects the Wine root (scripts/wine-root.sh).
# On a machine that runs no 32-bit code (scripts/runs-32bit-code.sh) the DLL cannot be loaded
# there: the contents are checked and the script says that the load was not.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
zip=$(bash scripts/package.sh)
echo "package: $zip"
listed=$(unzip -p "$zip" INSTALL.txt | tr -d '\r' |
    sed -n '/^Contents$/,/^Installing$/s/^  \([^ ]*\)  .*/\1/p' | tr '\\' / | sort)
held=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
if [ "$listed" != "$held" ]; then
    echo "the package holds other files than its INSTALL.txt lists"
    diff <(echo "$listed") <(echo "$held") || true
    exit 1
fi
echo "the package holds the $(echo "$held" | wc -l) files its INSTALL.txt lists"
if ! bash scripts/runs-32bit-code.sh >/dev/null 2>&1; then
    echo "the packaged DLL was not loaded: this machine runs no 32-bit code"
    exit 0
fi

place="$root/build-win32/package-check"
rm -rf "$place"
mkdir -p "$place/Plugins" "$place/store"
unzip -q "$zip" -d "$place/Plugins"
export WINE_BUILD_DIR="$root/build-win32"
source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
host=(wine_run build-win32/pellix.exe --data "$place/store"
    --plugin "$place/Plugins/pxQuillfeed.dll")
# Into a file, not a pipe: a Wine process the command starts may outlive it and hold a pipe open.
said="$place/said.txt"
for command in load info menu; do
    "${host[@]}" "$command" >>"$said" 2>&1 || { cat "$said"; exit 1; }
done
for expected in "bound the host API" "version: 1.31" "&Update RSS" "&RSS Setup"; do
    if ! grep -qF "$expected" "$said"; then
        echo "the packaged DLL in pellix.exe did not say \"$expected\":"
        cat "$said"
        exit 1
    fi
done
echo "the packaged DLL loads in the 32-bit pellix.exe under Wine and adds its two commands"
rm -rf "$place"
