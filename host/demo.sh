#!/bin/sh
# Calls the built extensions through the stand-in host, once natively and once
# as Windows code under Wine.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)

show() {  # show LABEL HOST EXTENSION-DIR SUFFIX
    label=$1 host=$2 dir=$3 ext=$4
    echo "$label"
    t0=$($host "$dir/reloj$ext")
    t1=$($host "$dir/espera$ext" 5)
    echo "  t0 = reloj()           $t0"
    echo "  t1 = espera(5)         $t1"
    echo "  t1 - t0                $(echo "$t1 - $t0" | awk '{printf "%.4f ms (at least 5, plus starting the next process)", $1 - $3}')"
    echo "  espera(-3)             $($host "$dir/espera$ext" -3)  (negative: no wait)"
    echo "  espera()               $($host "$dir/espera$ext")"
    echo "  espera(NaN)            $($host "$dir/espera$ext" nan)"
    echo "  reloj(1)               $($host "$dir/reloj$ext" 1)"
}

show "Linux, dist/linux (CLOCK_MONOTONIC, counter ms):" \
    "$root/build/linux/bin/mexhost" "$root/dist/linux" .mexa64
echo
show "Windows, dist/windows under Wine (QueryPerformanceCounter at 10 MHz, counter ms):" \
    "$root/cmake/wine.sh $root/build/windows/bin/mexhost.exe" "Z:$root/dist/windows" .mexw64
