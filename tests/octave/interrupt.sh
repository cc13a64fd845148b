#!/bin/sh
# interrupt.sh OCTAVE-CLI DIR [FUNCTION]: Ctrl+C ends a wait in GNU Octave,
# and the session goes on. octave-cli reads its commands from standard input
# as a user types them (-i: with a prompt), runs a wait of 2.8 hours from DIR,
# espera(1e7) or, with FUNCTION hasta, hasta(reloj() + 1e7), which sleeps, and
# gets SIGINT, as Ctrl+C in a terminal sends it: the wait must end with the
# function's error, back at the prompt, and the next command must run.
set -u
octave=$1 dir=$2 function=${3:-espera}
case $function in
    hasta) wait="hasta(reloj() + 1e7)" ;;
    *) wait="espera(1e7)" ;;
esac
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# until_printed PATTERN SECONDS: waits until a line of the output matches the
# extended regular expression PATTERN; false if none does in time.
until_printed() {
    limit=$(($(now_ms) + $2 * 1000))
    until grep -q -E "$1" "$work/out"; do
        [ "$(now_ms)" -lt "$limit" ] || return 1
        sleep 0.01
    done
}

# until_gone SECONDS: waits until Octave has ended; false if it has not in time.
until_gone() {
    limit=$(($(now_ms) + $1 * 1000))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$(now_ms)" -lt "$limit" ] || return 1
        sleep 0.05
    done
}

mkfifo "$work/in"
"$octave" --norc --no-history -i <"$work/in" >"$work/out" 2>&1 &
pid=$!
exec 3>"$work/in"
say() { echo "$1" >&3; }

say "addpath('$dir'); reloj(); $function(0); disp('ready')"
until_printed '^(octave:[0-9]+> )?ready$' 60 || { fail "Octave did not start"; cat "$work/out"; exit 1; }
say "disp('waiting'); fflush(stdout); $wait"
until_printed 'waiting$' 60 || fail "$wait did not start"
sleep 0.5  # well into the wait
interrupted=$(now_ms)
kill -INT "$pid"
say "t = reloj()"
if until_printed '^octave:[0-9]+> t = [0-9]' 20; then
    echo "octave interrupt of $function: from SIGINT to the next command's result, $(($(now_ms) - interrupted)) ms"
else
    fail "no prompt and result of the next command within 20 s of SIGINT"
fi
# Never left waiting: an Octave still in the wait gets SIGKILL.
say "exit"
exec 3>&-
if ! until_gone 20; then
    fail "Octave did not exit"
    kill -KILL "$pid"
fi
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "Octave ended with status $status"

# The error, then the prompt, then the next command's result, and nothing
# else after the wait began.
after=$(sed -n '/waiting$/,$p' "$work/out" | sed 1d | sed -E 's/^octave:[0-9]+> /> /' | paste -sd '|')
case $after in
    "error: $function: $function was interrupted before the end of its wait.|> t = "[0-9]*"|> ") ;;
    *) fail "after the wait began, Octave printed [$after]" ;;
esac

[ $failures -eq 0 ] && echo "octave interrupt: all checks passed"
[ $failures -eq 0 ] || cat "$work/out"
exit $((failures != 0))
