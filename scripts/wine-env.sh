# Sourced by the scripts that run Windows programs. They run the 32-bit build, the product, under
# Debian 13's Wine 10 in its WoW64 mode, inside the root that scripts/wine-root.sh makes (this
# machine's own Wine cannot start 32-bit programs: its kernel runs no 32-bit Linux programs).
#
# Each program runs in a mount namespace of its own, chrooted into that root, with /proc, /dev,
# the checkout and the shared corpus beside it bound at the same paths, so that every path a test
# or script names means the same file inside and out. Files a Windows program is to read or write
# must lie in the checkout or the corpus.
#
#   wine_start              makes the root if needed, creates the prefix, keeps a Wine server up
#   wine_run PROGRAM ...    runs a Windows program (paths as they are here, or Z:\...)
#   wine_run_x PROGRAM ...  the same on a virtual screen of its own, for programs with windows
#   in_wine_root CMD ...    any command of the root, with the same binds and environment
#   wine_stop               ends the Wine server
#   wine_trust_ca FILE      adds a CA certificate to the root's trust store (Wine's crypt32 reads
#                           it), for one run of the TLS tests or the demo
#   wine_untrust_ca         takes it out again
#
# Settings: WINE_BUILD_DIR (the win32 build folder; its wineprefix/ is the prefix unless
# QF_WINEPREFIX names another), QF_WINE_ROOT (the root, default /var/cache/quillfeed/wine-root).
# Wine is quiet (WINEDEBUG=-all), skips the .NET and HTML engine set-up that the system needs
# neither of, and answers the Western European code page 1252 that the POSIX stand-in uses too.
qf_checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export QF_WINE_ROOT="${QF_WINE_ROOT:-/var/cache/quillfeed/wine-root}"
export WINEPREFIX="${QF_WINEPREFIX:-${WINE_BUILD_DIR:?}/wineprefix}"
qf_shared_at="$(dirname "$qf_checkout")/shared"

in_wine_root() {
    local shared=""
    [ -d "$qf_shared_at" ] && shared=$(cd "$qf_shared_at" && pwd -P)
    # The working directory is kept when it lies in the checkout; elsewhere it is the checkout.
    local here=$PWD
    case "$here/" in "$qf_checkout"/*) ;; *) here=$qf_checkout ;; esac
    unshare -m -- bash -c '
        r=$1 checkout=$2 shared=$3 sharedAt=$4 here=$5
        shift 5
        mount --bind /proc "$r/proc" && mount --rbind /dev "$r/dev" || exit 125
        mkdir -p "$r$checkout" && mount --bind "$checkout" "$r$checkout" || exit 125
        if [ -n "$shared" ]; then
            mkdir -p "$r$sharedAt" && mount --bind "$shared" "$r$sharedAt" || exit 125
        fi
        exec chroot "$r" /usr/bin/env -i -C "$here" PATH=/usr/bin:/bin HOME=/root \
            LANG=C.UTF-8 WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            ${DISPLAY:+DISPLAY=$DISPLAY} "$@"
    ' in-wine-root "$QF_WINE_ROOT" "$qf_checkout" "$shared" "$qf_shared_at" "$here" "$@"
}

# Both give up on a program that runs longer than QF_WINE_TIMEOUT seconds (default 1800).
wine_run() {
    in_wine_root timeout "${QF_WINE_TIMEOUT:-1800}" /usr/lib/wine/wine64 "$@"
}

wine_run_x() {
    in_wine_root xvfb-run -a -s "-screen 0 1024x768x24" \
        timeout "${QF_WINE_TIMEOUT:-1800}" /usr/lib/wine/wine64 "$@"
}

# The tests reach a host in another script by its ASCII form, which the hosts file names.
qf_test_hosts="127.0.0.1 xn--bcher-kva.example"

wine_start() {
    bash "$qf_checkout/scripts/wine-root.sh" || return 1
    grep -qxF "$qf_test_hosts" "$QF_WINE_ROOT/etc/hosts" ||
        echo "$qf_test_hosts" >>"$QF_WINE_ROOT/etc/hosts"
    # The first start creates the prefix (half a minute or so); later starts reuse it.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix in $WINEPREFIX"
        QF_WINE_TIMEOUT=900 wine_run wineboot --init >/dev/null 2>&1 || true
        # The set-up leaves a desktop behind that has no display (it ran without one); every
        # window of a later program would fail to open on it.
        in_wine_root /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    fi
    in_wine_root /usr/lib/wine/wineserver -p >/dev/null 2>&1 || true
}

wine_trust_ca() {
    cp "$1" "$QF_WINE_ROOT/usr/local/share/ca-certificates/quillfeed-run-ca.crt" &&
        in_wine_root /usr/sbin/update-ca-certificates >/dev/null 2>&1
}

wine_untrust_ca() {
    rm -f "$QF_WINE_ROOT/usr/local/share/ca-certificates/quillfeed-run-ca.crt"
    in_wine_root /usr/sbin/update-ca-certificates --fresh >/dev/null 2>&1 || true
}

wine_stop() {
    in_wine_root /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
}
