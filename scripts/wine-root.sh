#!/usr/bin/env bash
# Makes the Debian 13 root that the Windows tests run in, once, and keeps it for later runs.
#
# These kernels run no 32-bit Linux programs, so Debian 12's 32-bit Wine cannot start. Debian 13's
# Wine 10 runs 32-bit Windows programs inside a 64-bit process (its WoW64 mode) once its
# i386-windows folder holds the 32-bit Windows-side DLLs, so the product itself, the 32-bit
# pxQuillfeed.dll, is tested in a root of Debian 13 next to this machine's own system.
#
# The root lives outside the checkout, at $QF_WINE_ROOT (default /var/cache/quillfeed/wine-root),
# and is made anew only when scripts/wine-root.packages or this script changed since it was made.
# Runs as root; scripts/wine-env.sh runs programs inside it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
target=${QF_WINE_ROOT:-/var/cache/quillfeed/wine-root}
mirror=${QF_DEBIAN_MIRROR:-http://deb.debian.org/debian}
packages_file="$here/wine-root.packages"

stamp=$(cat "$packages_file" "$here/wine-root.sh" | sha256sum | cut -d' ' -f1)
current() { [ -f "$target/.quillfeed-root" ] && [ "$(cat "$target/.quillfeed-root")" = "$stamp" ]; }
current && exit 0

mkdir -p "$(dirname "$target")"
exec 9>"$target.lock"
flock 9
current && exit 0

packages=()
while read -r line; do
    line=${line%%#*}
    [ -n "${line// /}" ] && packages+=($line)
done <"$packages_file"

echo "making the Wine root in $target (Debian 13, ${packages[*]})"
started=$SECONDS
work="$target.new"
rm -rf "$work"
debootstrap --variant=minbase trixie "$work" "$mirror" >"$work.log" 2>&1 || {
    tail -20 "$work.log"
    exit 1
}
# minbase has no hosts file; the tests and the demo connect to localhost.
echo "127.0.0.1 localhost" >>"$work/etc/hosts"
cp /etc/resolv.conf "$work/etc/resolv.conf"

# Runs a command inside the root being made, in a mount namespace of its own.
inside() {
    unshare -m -- bash -c 'r=$1; shift; mount --bind /proc "$r/proc" && mount --rbind /dev "$r/dev" &&
        exec chroot "$r" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        DEBIAN_FRONTEND=noninteractive HOME=/root "$@"' in-root "$work" "$@"
}
{
    inside apt-get update -qq
    inside apt-get install -y -qq --no-install-recommends "${packages[@]}"
    # The amd64 package ships the 32-bit Windows-side folder empty; libwine:i386 has its DLLs.
    inside dpkg --add-architecture i386
    inside apt-get update -qq
    inside bash -c 'cd /tmp && apt-get download -qq libwine:i386 && dpkg -x libwine_*_i386.deb unpacked &&
        cp -a unpacked/usr/lib/i386-linux-gnu/wine/i386-windows/. \
            /usr/lib/x86_64-linux-gnu/wine/i386-windows/ && rm -rf unpacked libwine_*_i386.deb'
    inside apt-get clean
} >>"$work.log" 2>&1 || {
    tail -20 "$work.log"
    exit 1
}
[ -f "$work/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll" ] || {
    echo "the Wine root has no 32-bit Windows DLLs (see $work.log)"
    exit 1
}
echo "$stamp" >"$work/.quillfeed-root"
rm -rf "$target"
mv "$work" "$target"
mv "$work.log" "$target.log"
echo "made the Wine root in $((SECONDS - started)) s"
