#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for both builds and their tests, and any packages
# named as arguments (the benchmark command's). Runs as root; does nothing when everything is
# already there. Wine is not among them: the Windows tests run in
# the Debian 13 root that scripts/wine-root.sh makes with debootstrap (and, on a machine that runs
# no 32-bit code, in qemu's emulated machine booted on an image of that root).
set -euo pipefail

packages=(cmake g++ make pkg-config libexpat1-dev zlib1g-dev libz-mingw-w64-dev googletest libgtest-dev clang
          libclang-rt-14-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix debootstrap python3 libssl-dev openssl
          chromium fonts-wqy-microhei fonts-noto-color-emoji unzip nlohmann-json3-dev libidn2-dev tinyproxy squid
          qemu-system-x86 e2fsprogs "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
