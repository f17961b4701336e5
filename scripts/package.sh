#!/usr/bin/env bash
# The Windows package: builds the 32-bit product and writes build-win32/quillfeed-1.31-win32.zip
# with pxQuillfeed.dll, RssStyles/ and package/INSTALL.txt (CRLF line ends, for Notepad).
# Prints the zip's path. Runs as root, like the other commands (it installs what is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
version=$(sed -n 's/^constexpr char PlugInVersion\[\] = "\(.*\)";/\1/p' base/module.h)
cmake -S . -B build-win32 --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win32 -j2 --target pxQuillfeed >/dev/null
zip="$PWD/build-win32/quillfeed-$version-win32.zip"
python3 - "$zip" <<'PY'
import os, sys, zipfile
zip_path = sys.argv[1]
with zipfile.ZipFile(zip_path + ".part", "w", zipfile.ZIP_DEFLATED) as package:
    package.write("build-win32/pxQuillfeed.dll", "pxQuillfeed.dll")
    for name in sorted(os.listdir("RssStyles")):
        if name.endswith(".css"):
            package.write(os.path.join("RssStyles", name), "RssStyles/" + name)
    text = open("package/INSTALL.txt", encoding="utf-8").read()
    package.writestr("INSTALL.txt", text.replace("\r\n", "\n").replace("\n", "\r\n"))
os.replace(zip_path + ".part", zip_path)
PY
echo "$zip"
