#!/bin/sh
# Calls the built extensions through the stand-in host, once natively and once
# as Windows code under Wine: each time in one process, one call after the
# other as a script's statements, so that t1 - t0 is the wait and the call.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)

show() {  # show LABEL EXTENSION-DIR SUFFIX HOST-COMMAND...
    label=$1 dir=$2 ext=$3
    shift 3
    reloj=$dir/reloj$ext espera=$dir/espera$ext
    # One line per call; some calls are meant to fail (exit status 1).
    out=$("$@" "$reloj" , "$espera" 5 , "$espera" -3 , "$espera" , "$espera" nan , "$reloj" 1 | tr -d '\r')
    line() { echo "$out" | sed -n "$1p"; }
    echo "$label"
    echo "  t0 = reloj()           $(line 1)"
    echo "  t1 = espera(5)         $(line 2)"
    echo "  t1 - t0                $(echo "$(line 2) $(line 1)" | awk '{printf "%.4f ms (at least 5)", $1 - $2}')"
    echo "  espera(-3)             $(line 3)  (negative: no wait)"
    echo "  espera()               $(line 4)"
    echo "  espera(NaN)            $(line 5)"
    echo "  reloj(1)               $(line 6)"
}

show "Linux, dist/linux (CLOCK_MONOTONIC, counter ms):" \
    "$root/dist/linux" .mexa64 "$root/build/linux/bin/mexhost"
echo
show "Windows, dist/windows under Wine (QueryPerformanceCounter at 10 MHz, counter ms):" \
    "Z:$root/dist/windows" .mexw64 sh "$root/cmake/wine.sh" "$root/build/windows/bin/mexhost.exe"
