#!/bin/sh
# mexhost_test.sh DIR SUFFIX HOST...: the stand-in host's command run as a
# user runs it (HOST... is mexhost, or wine.sh and mexhost.exe) against the
# extensions in DIR: its exit status, standard output and standard error.
set -u
dir=$1 suffix=$2
shift 2
reloj=$dir/reloj$suffix espera=$dir/espera$suffix hasta=$dir/hasta$suffix
host=
for word in "$@"; do host="$host '$(printf %s "$word" | sed "s/'/'\\\\''/g")'"; done
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS STDOUT STDERR ARGUMENT...: mexhost ARGUMENT... exits with
# STATUS; STDOUT and STDERR are shell patterns for what it prints, lines
# joined by "|" (Windows line ends read as Linux ones).
expect() {
    want=$1 want_out=$2 want_err=$3
    shift 3
    eval "$host \"\$@\"" >"$out" 2>"$err"
    status=$?
    got_out=$(tr -d '\r' <"$out" | paste -sd '|')
    got_err=$(tr -d '\r' <"$err" | paste -sd '|')
    [ "$status" = "$want" ] || fail "mexhost $*: exit status $status, want $want"
    case $got_out in $want_out) ;; *) fail "mexhost $*: printed [$got_out], want [$want_out]" ;; esac
    case $got_err in $want_err) ;; *) fail "mexhost $*: said [$got_err], want [$want_err]" ;; esac
}
n='[0-9]*'
not_a_number='mexhost: input "*" to * is not a number|usage: mexhost *'
no_extension='mexhost: a call names no extension*|usage: mexhost *'

# One call or several, in order, in one process; one line each.
expect 0 "$n" "" "$reloj"
expect 0 "$n|$n" "" "$reloj" , "$espera" 5
echo "$got_out" | awk -F'|' '{ exit !($2 - $1 >= 5 - 1e-3) }' || fail "reloj, then espera(5): $got_out, not 5 ms apart"
expect 0 "$n|$n|$n" "" "$espera" 0 , "$espera" -inf , "$espera" 0x1p-4
# A call that raises an error does not stop the next one.
expect 1 "error: espera necesita 1 argumento de entrada.|$n" "" "$espera" , "$reloj"
expect 1 "error: espera cannot wait NaN, Inf*|error: espera cannot wait NaN, Inf*" "" "$espera" nan , "$espera" inf
expect 1 "error: reloj necesita 0 argumento de entrada." "" "$reloj" 1e999
# hasta: a deadline long past returns at once; one it cannot have is refused.
expect 1 "$n|error: hasta cannot wait until NaN, Inf, -Inf or a time past*" "" "$hasta" -1 , "$hasta" -inf
# Refused before anything is loaded or called.
expect 2 "" "$not_a_number" "$espera" abc
expect 2 "" "$not_a_number" "$espera" 5ms
expect 2 "" "$not_a_number" "$espera" ""
expect 2 "" "$not_a_number" "$reloj" , "$espera" 5 ms
expect 2 "" "$no_extension" "$reloj" ,
expect 2 "" "$no_extension"
# From a folder named outside ASCII, as the arguments spell it in UTF-8.
odd=$(mktemp -d)
trap 'rm -f "$out" "$err"; rm -rf "$odd"' EXIT
mkdir "$odd/mis extensiones ñandú 計時"
cp "${reloj#Z:}" "$odd/mis extensiones ñandú 計時/"
drive=${dir%%/*}
expect 0 "$n" "" "$drive$odd/mis extensiones ñandú 計時/reloj$suffix"
# Every extension loads before the first call.
expect 2 "" "mexhost: *" "$reloj" , "$dir/missing$suffix"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "mexhost: all cases passed"
