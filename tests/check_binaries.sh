#!/bin/sh
# check_binaries.sh SUFFIX DIR SOURCE-DIR
# What the host and a user's machine see of the built extensions: exactly two
# exports, imports from the host and the kernel only, and, on Windows, the
# load-anywhere protections and byte-for-byte reproducible builds.
set -u
suffix=$1 dir=$2 src=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1: got [$2], want [$3]"
}
lines() { tr '\n' ' ' | sed 's/ $//'; }

host_calls="mexErrMsgTxt mxCreateDoubleMatrix_730 mxGetPr"
for name in reloj espera; do
    file=$dir/$name$suffix
    [ -f "$file" ] || { fail "$file missing"; continue; }
    want=$host_calls
    [ "$name" = espera ] && want="mexErrMsgTxt mxCreateDoubleMatrix_730 mxGetNumberOfElements mxGetPr mxIsDouble"
    if [ "$suffix" = .mexw64 ]; then
        dump=$(x86_64-w64-mingw32-objdump -p "$file")
        expect "$name format" "$(x86_64-w64-mingw32-objdump -f "$file" | sed -n 's/.*file format //p')" pei-x86-64
        expect "$name exports" "$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
            sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | lines)" "mexFunction mexfilerequiredapiversion"
        expect "$name DLLs" "$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | sort | lines)" \
            "KERNEL32.dll libmex.dll libmx.dll"
        imports=$(echo "$dump" | awk '/DLL Name:/ {dll=$3; next} dll && /^\t[0-9a-f]+\t/ {print dll":"$3}')
        expect "$name kernel imports" "$(echo "$imports" | sed -n 's/^KERNEL32.dll://p' | sort | lines)" \
            "QueryPerformanceCounter QueryPerformanceFrequency"
        expect "$name host imports" "$(echo "$imports" | sed -n 's/^libm[ex]*.dll://p' | sort | lines)" "$want"
        flags=$(echo "$dump" | sed -n 's/^DllCharacteristics\s*//p')
        # HIGH_ENTROPY_VA 0x20, DYNAMIC_BASE 0x40, NX_COMPAT 0x100
        [ $((0x$flags & 0x160)) -eq $((0x160)) ] || fail "$name DllCharacteristics $flags lacks 0x160"
        expect "$name time stamp" "$(echo "$dump" | sed -n 's/^Time\/Date\s*//p' | head -n 1)" "Thu Jan  1 00:00:00 1970"
    else
        expect "$name exports" "$(nm -D --defined-only "$file" | awk '{print $3}' | sort | lines)" \
            "mexFunction mexfilerequiredapiversion"
        expect "$name host imports" "$(nm -D --undefined-only "$file" | awk '$2 ~ /^m[ex]/ {print $2}' | sort | lines)" "$want"
        expect "$name other imports" "$(nm -D --undefined-only "$file" | awk '$1 == "U" && $2 !~ /^m[ex]/ {print $2}' | lines)" \
            "clock_gettime@GLIBC_2.17"
        expect "$name needed" "$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | lines)" \
            "libc.so.6 libmex.so libmx.so"
        readelf -d "$file" | grep -q -E 'RPATH|RUNPATH' && fail "$name has a run path"
    fi
done

# Building again from scratch gives the same bytes.
if [ "$suffix" = .mexw64 ]; then
    again=$(mktemp -d)
    cmake -S "$src" -B "$again" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake" \
        -DBUILD_TESTING=OFF -DMEX_OUTPUT_DIR="$again/mex" >/dev/null &&
        cmake --build "$again" --target reloj espera >/dev/null || fail "second build failed"
    for name in reloj espera; do
        cmp -s "$dir/$name$suffix" "$again/mex/$name$suffix" || fail "$name$suffix differs between two builds"
    done
    rm -rf "$again"
fi

[ $failures -eq 0 ] && echo "binaries: all checks passed"
exit $((failures != 0))
