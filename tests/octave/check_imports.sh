#!/bin/sh
# check_imports.sh DIR FUNCTIONS: the Octave extensions in DIR, NAME.mex for
# each function of FUNCTIONS (the list of cmake/toolbox.cmake: NAME:WORD:WORD...,
# separated by spaces), export the two entry points and nothing else, call
# exactly the host functions that what each uses brings (the table below),
# and are linked hardened.
set -u
functions=$2
failures=0
expect() {  # expect WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || { echo "FAIL: $1: got [$2], want [$3]"; failures=$((failures + 1)); }
}
lines() { tr '\n' ' ' | sed 's/ $//'; }

# What each word of the list brings from Octave, besides the frame (frame)
# that every function has: its mex calls (host) and its interrupt state
# (octave), which ends a wait on Ctrl+C; a word with nothing to bring has a
# row all the same. A word with no row here fails the check.
brings='
frame     host   mexErrMsgTxt mxCreateDoubleMatrix mxGetPr
number    host   mxGetIr mxGetJc mxGetNumberOfElements mxIsDouble mxIsSparse
interrupt octave octave_handle_signal octave_interrupt_state octave_signal_caught
sleep     host
priority  host   mexAtExit mexErrMsgIdAndTxt
calendar  host
'
# allowed KIND WORD...: what the words bring of that kind, sorted, on one line.
allowed() {
    kind=$1
    shift
    echo "$brings" | awk -v kind="$kind" -v words=" $* " \
        '$2 == kind && index(words, " " $1 " ") { for (i = 3; i <= NF; i++) print $i }' | sort -u | lines
}

[ -n "$functions" ] || { echo "FAIL: no functions named"; failures=1; }
for row in $functions; do
    name=${row%%:*}
    uses="frame $(echo "$row" | cut -s -d : -f 2- | tr : ' ')"
    for word in $uses; do
        echo "$brings" | grep -q "^$word " ||
            { echo "FAIL: $name uses $word, which this check does not know"; failures=$((failures + 1)); }
    done
    file=$1/$name.mex
    [ -f "$file" ] || { echo "FAIL: $file missing"; failures=$((failures + 1)); continue; }
    # Octave 11 and later also stamp their version, which they check on loading.
    expect "$name exports" "$(nm -D --defined-only "$file" | awk '$3 != "__octave_mex_soversion__" {print $3}' | sort | lines)" \
        "mexFunction mexfilerequiredapiversion"
    expect "$name host calls" "$(nm -D --undefined-only "$file" | awk '$2 ~ /^m[ex]/ {print $2}' | sort | lines)" \
        "$(allowed host $uses)"
    expect "$name interrupt state" "$(nm -D --undefined-only "$file" | awk '$2 ~ /^octave_/ {print $2}' | sort | lines)" \
        "$(allowed octave $uses)"
    sh "$(dirname "$0")/../check_hardened.sh" "$file" || failures=$((failures + 1))
done
[ $failures -eq 0 ] && echo "octave imports: all checks passed"
exit $((failures != 0))
