#!/bin/sh
# check_binaries.sh SUFFIX DIR SOURCE-DIR FUNCTIONS [MACOS-MINIMUM]
# What the host and a user's machine see of the built extensions: exactly two
# exports; imports from the host and the kernel only, each function exactly
# those that what it uses brings (the table below); the host's interrupt
# calls (libut's) never imported, only looked up at run time (Windows) or
# referenced weakly (Linux); on Windows the load-anywhere protections, unwind
# tables a foreign unwinder can walk and byte-for-byte reproducible builds; on
# Linux hardened linking and nothing newer than glibc 2.17; on macOS
# (.mexmaca64, .mexmaci64, read by tests/macho.js) a bundle for the
# architecture that states MACOS-MINIMUM, names MATLAB's libraries as its mex
# does, with libut weak, has unwind entries for its exports and, for Apple
# silicon, a valid signature. FUNCTIONS is the list of cmake/toolbox.cmake:
# NAME:WORD:WORD..., separated by spaces.
set -u
suffix=$1 dir=$2 src=$3 functions=$4 macos=${5:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1: got [$2], want [$3]"
}
lines() { tr '\n' ' ' | sed 's/ $//'; }
set_of() { tr '|' '\n' | sed 's/^ *//; /^$/d' | sort -u | tr '\n' ';'; }  # of lines or |-separated entries
# What each word of the list brings, besides the counter (clock) and the
# frame (frame) that every function has: from the host (host: libmx and
# libmex, the same names on both systems); on Windows from KERNEL32 (kernel);
# on Linux from glibc (libc), as weak references (weak), and the libraries
# needed (needed); on macOS from libSystem (system), and the libraries named
# (dylibs; weak ones weak-dylibs), the weak references as on Linux. A word
# with no row here fails the check.
#   interrupt  libut's calls looked up at run time (Windows) or weak (Linux),
#              and the error MATLAB ends an interrupted call with
#   sleep      only the kernel's timers: KERNEL32's waitable timers and the
#              system's timer tick; glibc's clock_nanosleep and its timer slack;
#              and whether the thread runs raised: KERNEL32's priority class
#              and thread priority, glibc's scheduling policy, the Mac's
#              quality of service, only read
#   priority   only the kernel's scheduling calls, with power throttling looked
#              up at run time (Windows); the host's exit call gives it back
#   calendar   the system clock and what the system says of it: KERNEL32's
#              precise clock looked up at run time, its coarse clock and that
#              clock's step; glibc's adjtimex
brings='
clock     kernel QueryPerformanceCounter QueryPerformanceFrequency
clock     libc   clock_gettime@GLIBC_2.17
clock     system _clock_gettime_nsec_np
frame     host   mexErrMsgTxt mxCreateDoubleMatrix_730 mxGetPr
frame     needed libc.so.6 libmex.so libmx.so
frame     dylibs /usr/lib/libSystem.B.dylib @rpath/libmex.dylib @rpath/libmx.dylib
frame     system ___stack_chk_fail ___stack_chk_guard dyld_stub_binder
number    host   mxGetIr_730 mxGetJc_730 mxGetNumberOfElements mxIsDouble mxIsSparse
interrupt host   mexErrMsgIdAndTxt
interrupt kernel GetModuleHandleW GetProcAddress
interrupt weak   utIsInterruptPending utSetInterruptPending
interrupt needed libut.so
interrupt weak-dylibs @rpath/libut.dylib
sleep     kernel CloseHandle CreateWaitableTimerExW GetSystemTimeAdjustment SetWaitableTimer WaitForSingleObject
sleep     kernel GetCurrentProcess GetCurrentThread GetPriorityClass GetThreadPriority
sleep     libc   clock_nanosleep@GLIBC_2.17 prctl@GLIBC_2.2.5 sched_getscheduler@GLIBC_2.2.5
sleep     system _mach_absolute_time _mach_timebase_info _mach_wait_until _pthread_get_qos_class_np _pthread_self
priority  host   mexAtExit mexErrMsgIdAndTxt
priority  kernel CloseHandle GetCurrentProcess GetCurrentThread GetCurrentThreadId GetModuleHandleW GetPriorityClass
priority  kernel GetProcAddress GetThreadPriority OpenThread SetPriorityClass SetThreadPriority
priority  libc   __errno_location@GLIBC_2.2.5 close@GLIBC_2.2.5 open@GLIBC_2.2.5 read@GLIBC_2.2.5 syscall@GLIBC_2.2.5
priority  libc   sched_getparam@GLIBC_2.2.5 sched_getscheduler@GLIBC_2.2.5 sched_setscheduler@GLIBC_2.2.5
priority  system _pthread_equal _pthread_get_qos_class_np _pthread_self _pthread_set_qos_class_self_np
calendar  kernel GetModuleHandleW GetProcAddress GetSystemTimeAdjustment GetSystemTimeAsFileTime
calendar  libc   adjtimex@GLIBC_2.2.5
calendar  system _clock_gettime
'
# allowed KIND WORD...: what the words bring of that kind, sorted, on one line.
allowed() {
    kind=$1
    shift
    echo "$brings" | awk -v kind="$kind" -v words=" $* " \
        '$2 == kind && index(words, " " $1 " ") { for (i = 3; i <= NF; i++) print $i }' | sort -u | lines
}

# u BYTES FILE OFFSET: the little-endian unsigned integer at OFFSET.
u() { od -An -t "u$1" -j "$3" -N "$1" --endian=little "$2" | tr -d ' '; }

# writable_code FILE: the names of the PE file's sections that are both
# writable (IMAGE_SCN_MEM_WRITE) and executable (IMAGE_SCN_MEM_EXECUTE), read
# from the section table itself.
writable_code() {
    pe=$(u 4 "$1" 60)
    count=$(u 2 "$1" $((pe + 6)))
    table=$((pe + 24 + $(u 2 "$1" $((pe + 20)))))
    i=0
    while [ "$i" -lt "$count" ]; do
        entry=$((table + 40 * i))
        characteristics=$(u 4 "$1" $((entry + 36)))
        [ $((characteristics & 0xA0000000)) -eq $((0xA0000000)) ] &&
            dd if="$1" bs=1 skip="$entry" count=8 2>/dev/null | tr -d '\0' && echo
        i=$((i + 1))
    done
}

[ -n "$functions" ] || fail "no functions named"
names=
for row in $functions; do
    name=${row%%:*}
    names="$names $name"
    uses="clock frame $(echo "$row" | cut -s -d : -f 2- | tr : ' ')"
    for word in $uses; do
        echo "$brings" | grep -q "^$word " || fail "$name uses $word, which this check does not know"
    done
    file=$dir/$name$suffix
    [ -f "$file" ] || { fail "$file missing"; continue; }
    host=$(allowed host $uses) kernel=$(allowed kernel $uses) libc=$(allowed libc $uses)
    weak=$(allowed weak $uses) needed=$(allowed needed $uses)
    if [ "$suffix" = .mexw64 ]; then
        dump=$(x86_64-w64-mingw32-objdump -p "$file")
        expect "$name format" "$(x86_64-w64-mingw32-objdump -f "$file" | sed -n 's/.*file format //p')" pei-x86-64
        expect "$name exports" "$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
            sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | lines)" "mexFunction mexfilerequiredapiversion"
        expect "$name DLLs" "$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | sort | lines)" \
            "KERNEL32.dll libmex.dll libmx.dll"
        imports=$(echo "$dump" | awk '/DLL Name:/ {dll=$3; next} dll && /^\t[0-9a-f]+\t/ {print dll":"$3}')
        expect "$name kernel imports" "$(echo "$imports" | sed -n 's/^KERNEL32.dll://p' | sort | lines)" "$kernel"
        expect "$name host imports" "$(echo "$imports" | sed -n 's/^libm[ex]*.dll://p' | sort | lines)" "$host"
        flags=$(echo "$dump" | sed -n 's/^DllCharacteristics\s*//p')
        # HIGH_ENTROPY_VA 0x20, DYNAMIC_BASE 0x40, NX_COMPAT 0x100
        [ $((0x$flags & 0x160)) -eq $((0x160)) ] || fail "$name DllCharacteristics $flags lacks 0x160"
        expect "$name time stamp" "$(echo "$dump" | sed -n 's/^Time\/Date\s*//p' | head -n 1)" "Thu Jan  1 00:00:00 1970"
        # The host's error call unwinds the extension's frames with the Windows
        # unwinder: each function the host calls needs its unwind entry, and
        # none may name a language handler, which would need a compiler
        # runtime the DLL does not carry and would be called by any foreign
        # unwind passing through.
        base=$(echo "$dump" | sed -n 's/^ImageBase\s*//p')
        starts=$(echo "$dump" | sed -n '/^The Function Table/,/^$/p' | awk '$1 ~ /:$/ && NF == 4 {print $2}')
        [ -n "$starts" ] || fail "$name has no unwind entries"
        for rva in $(echo "$dump" | sed -n '/^Export Address Table -- /,/^$/p' | awk '/Export RVA/ {print $(NF - 2)}'); do
            echo "$starts" | grep -qx "$(printf '%016x' $((0x$base + 0x$rva)))" ||
                fail "$name: the export at $rva has no unwind entry"
        done
        expect "$name unwind flags" "$(echo "$dump" | sed -n 's/.*Version: [0-9]*, Flags: //p' | sort -u | lines)" none
        expect "$name TLS directory" "$(echo "$dump" | awk '$1 == "Entry" && $2 == "9" {print $3, $4}')" \
            "0000000000000000 00000000"
        expect "$name writable code" "$(writable_code "$file" | lines)" ""
    elif [ "$suffix" = .mexmaca64 ] || [ "$suffix" = .mexmaci64 ]; then
        # (Seen to fail, by hand, on files linked without the weak flag and
        # without the export list.)
        facts=$(node "$src/tests/macho.js" "$file") || { fail "$name not read"; continue; }
        field() { echo "$facts" | sed -n "s/^$1 //p" | sort | lines; }
        arch=arm64
        [ "$suffix" = .mexmaci64 ] && arch=x86_64
        expect "$name format" "$(field format)" "bundle $arch"
        expect "$name oldest macOS" "$(field build | cut -d ' ' -f 1,2)" "minos $macos"
        expect "$name exports" "$(field export)" "_mexFunction _mexfilerequiredapiversion"
        # MATLAB's libraries by install name, found through the host's own run
        # paths; libut weak, with every reference to it: without it, or
        # without its calls, the file still loads and they are null.
        libraries=$( {
            for lib in $(allowed dylibs $uses); do echo "library $lib"; done
            for lib in $(allowed weak-dylibs $uses); do echo "weak-library $lib"; done; } | set_of)
        imports=$( {
            for call in $host; do echo "import @rpath/lib${call%%[A-Z]*}.dylib _$call"; done  # mx... or mex...
            for call in $(allowed system $uses); do echo "import /usr/lib/libSystem.B.dylib $call"; done
            for call in $weak; do echo "weak-import @rpath/libut.dylib _$call"; done; } | set_of)
        expect "$name libraries" "$(echo "$facts" | grep -E '^(weak-)?(library|rpath) ' | set_of)" "$libraries"
        expect "$name imports" "$(echo "$facts" | grep -E '^(weak-)?import ' | set_of)" "$imports"
        # The host's error call unwinds the extension's frames: each entry
        # needs an unwind entry, and none may name a language handler, whose
        # runtime (libc++abi) the file does not link.
        expect "$name unwind entries" "$(field unwind)" "_mexFunction _mexfilerequiredapiversion"
        expect "$name language handlers" "$(field personalities)" 0
        # Apple silicon loads only signed code: the linker's ad-hoc signature,
        # each page's hash right. Intel Macs need none.
        if [ "$arch" = arm64 ] || [ -n "$(field signature)" ]; then
            expect "$name signature" "$(field signature)" "adhoc linker-signed valid"
        fi
    else
        expect "$name exports" "$(nm -D --defined-only "$file" | awk '{print $3}' | sort | lines)" \
            "mexFunction mexfilerequiredapiversion"
        expect "$name host imports" "$(nm -D --undefined-only "$file" | awk '$2 ~ /^m[ex]/ {print $2}' | sort | lines)" "$host"
        expect "$name other imports" "$(nm -D --undefined-only "$file" | awk '$1 == "U" && $2 !~ /^m[ex]/ {print $2}' | sort | lines)" \
            "$libc"
        # Weak: null where the host has no such call, instead of a failed load.
        expect "$name weak references" "$(nm -D --undefined-only "$file" | awk '$1 == "w" && $2 !~ /^_/ {print $2}' | sort | lines)" \
            "$weak"
        expect "$name newest glibc needed" "$(objdump -T "$file" | grep -o 'GLIBC_[0-9.]*' | sort -V | tail -n 1)" GLIBC_2.17
        expect "$name needed" "$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | lines)" "$needed"
        readelf -d "$file" | grep -q -E 'RPATH|RUNPATH' && fail "$name has a run path"
        sh "$src/tests/check_hardened.sh" "$file" || failures=$((failures + 1))
    fi
done

# Building again from scratch gives the same bytes.
if [ "$suffix" = .mexw64 ]; then
    again=$(mktemp -d)
    cmake -S "$src" -B "$again" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64.cmake" \
        -DBUILD_TESTING=OFF -DMEX_OUTPUT_DIR="$again/mex" >/dev/null &&
        cmake --build "$again" --target $names >/dev/null || fail "second build failed"
    for name in $names; do
        cmp -s "$dir/$name$suffix" "$again/mex/$name$suffix" || fail "$name$suffix differs between two builds"
    done
    rm -rf "$again"
fi

[ $failures -eq 0 ] && echo "binaries: all checks passed"
exit $((failures != 0))
