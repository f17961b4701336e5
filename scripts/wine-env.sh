# Sourced by the scripts that run Windows programs: one Wine prefix inside the build folder, no
# .NET or HTML engine set-up (the system needs neither), no debug chatter, and the Western
# European code page 1252 that the POSIX stand-in also uses. QF_WINEPREFIX names another prefix
# to reuse (creating one takes minutes).
#
# The Windows tests run the 64-bit build of the same sources under 64-bit Wine: the 32-bit Wine
# needs a kernel that runs 32-bit Linux programs, which these machines lack. The 32-bit DLL, the
# product, is built and its exports are checked on every run.
export WINEPREFIX="${QF_WINEPREFIX:-${WINE_BUILD_DIR:?}/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=en_US.UTF-8
unset LC_ALL
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

wine_start() {
    # The first start creates the prefix (a minute or more); later starts reuse a running server.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix in $WINEPREFIX"
        timeout 900 "$WINE" wineboot --init >/dev/null 2>&1 || true
        # The set-up leaves a desktop behind that has no display (it ran outside xvfb-run); every
        # window of a later program would fail to open on it.
        "$WINESERVER" -k >/dev/null 2>&1 || true
    fi
    "$WINESERVER" -p >/dev/null 2>&1 || true
}

wine_stop() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
}
