#!/bin/sh
# wine.sh [PROGRAM [ARGUMENT ...]]: runs a Windows program under Wine, in a
# prefix inside the build folder, without Wine's chatter. With no program it
# only makes the prefix.
#
# Wine announces a prefix it makes (and, here, a missing 32-bit rundll32 that
# reads like a failure but is not), so the prefix is made here, before the
# first program: wineboot's output goes to WINEPREFIX.log and is shown only if
# making the prefix fails. Wine marks a finished prefix with .update-timestamp;
# a lock keeps runs started together (ctest -j) from making it twice.
set -u
: "${WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/windows/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
# Wine keeps Windows file names on disk in the encoding of the Unix locale:
# with none set (C), a name outside ASCII cannot be made or opened at all.
export LC_ALL=C.UTF-8
wine=
for candidate in wine64 /usr/lib/wine/wine64 wine; do
    if command -v "$candidate" >/dev/null 2>&1; then wine=$candidate; break; fi
done
if [ -z "$wine" ]; then
    echo "wine.sh: no wine64 found (apt-get install wine64)" >&2
    exit 127
fi

if [ ! -f "$WINEPREFIX/.update-timestamp" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Neither wineboot nor the server it starts keeps the lock (9>&-): it is
    # released when this subshell ends. Without mscoree and mshtml Wine does
    # not offer to download .NET and a browser engine, which nothing here uses.
    # Wine has been seen to fail making a prefix once, on a busy machine, and
    # then to finish it: a second try.
    if ! (
        flock 9
        [ -f "$WINEPREFIX/.update-timestamp" ] && exit 0
        : >"$WINEPREFIX.log"
        for try in 1 2; do
            WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init >>"$WINEPREFIX.log" 2>&1 9>&- && exit 0
        done
        exit 1
    ) 9>"$WINEPREFIX.lock"; then
        echo "wine.sh: making the Wine prefix $WINEPREFIX failed; wineboot's output ($WINEPREFIX.log):" >&2
        cat "$WINEPREFIX.log" >&2
        exit 1
    fi
fi
[ $# -eq 0 ] || exec "$wine" "$@"
