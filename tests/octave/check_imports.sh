#!/bin/sh
# check_imports.sh DIR: the Octave extensions in DIR (each .mex file there)
# export the two entry points and nothing else, call no host function beyond
# their own few (espera and hasta also Octave's interrupt state, to end a wait
# on Ctrl+C; prioridad also the call that gives its raise back when it is
# cleared), and are linked hardened.
set -u
failures=0
expect() {  # expect WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || { echo "FAIL: $1: got [$2], want [$3]"; failures=$((failures + 1)); }
}
lines() { tr '\n' ' ' | sed 's/ $//'; }

for file in "$1"/*.mex; do
    name=$(basename "$file" .mex)
    want="mexErrMsgTxt mxCreateDoubleMatrix mxGetPr" interrupt=""
    if [ "$name" != reloj ] && [ "$name" != fecha ]; then  # it reads a number
        want="mexErrMsgTxt mxCreateDoubleMatrix mxGetIr mxGetJc mxGetNumberOfElements mxGetPr mxIsDouble mxIsSparse"
        [ "$name" = prioridad ] || interrupt="octave_handle_signal octave_interrupt_state octave_signal_caught"
    fi
    [ "$name" = prioridad ] &&
        want="mexAtExit mexErrMsgIdAndTxt mexErrMsgTxt mxCreateDoubleMatrix mxGetIr mxGetJc mxGetNumberOfElements mxGetPr mxIsDouble mxIsSparse"
    # Octave 11 and later also stamp their version, which they check on loading.
    expect "$name exports" "$(nm -D --defined-only "$file" | awk '$3 != "__octave_mex_soversion__" {print $3}' | sort | lines)" \
        "mexFunction mexfilerequiredapiversion"
    expect "$name host calls" "$(nm -D --undefined-only "$file" | awk '$2 ~ /^m[ex]/ {print $2}' | sort | lines)" "$want"
    expect "$name interrupt state" "$(nm -D --undefined-only "$file" | awk '$2 ~ /^octave_/ {print $2}' | sort | lines)" \
        "$interrupt"
    sh "$(dirname "$0")/../check_hardened.sh" "$file" || failures=$((failures + 1))
done
[ $failures -eq 0 ] && echo "octave imports: all checks passed"
exit $((failures != 0))
