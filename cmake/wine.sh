#!/bin/sh
# Runs a Windows program under Wine, in a prefix inside the build folder
# (made on first use), without Wine's debug chatter.
: "${WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/windows/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
for wine in wine64 /usr/lib/wine/wine64 wine; do
    command -v "$wine" >/dev/null 2>&1 && exec "$wine" "$@"
done
echo "wine.sh: no wine64 found (apt-get install wine64)" >&2
exit 127
