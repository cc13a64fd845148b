#!/bin/sh
# interrupt.sh DIR FUNCTION OCTAVE [ARG...]: Ctrl+C in GNU Octave stops
# FUNCTION's wait as it stops pause: espera's, or hasta's, which sleeps. The
# Octave command OCTAVE ARG... (octave-cli, or one in another release's root)
# reads its commands from standard input as a user types them (-i: with a
# prompt), puts DIR, which holds FUNCTION, on its path, and gets SIGINT, as
# Ctrl+C in a terminal sends it, during each command below: once with
# FUNCTION, once with pause in its place. Octave's interrupt must go through
# to the prompt, within two seconds: no try catches it, no later command of
# the line runs, unwind_protect's cleanup does, also at a raised priority; Octave prints the same with
# FUNCTION as with pause; and the next command runs.
set -u
dir=$1 function=$2
shift 2
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
prompts() { grep -o 'octave:[0-9]*> ' "$work/out" | wc -l; }
# What Octave printed from byte OFFSET on, prompts without their numbers,
# lines joined by |.
printed_since() { tail -c +$(($1 + 1)) "$work/out" | sed -E 's/octave:[0-9]+> />/g' | paste -sd '|'; }

# until_true SECONDS COMMAND...: runs COMMAND until it succeeds; false if it
# has not within SECONDS.
until_true() {
    limit=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -lt "$limit" ] || return 1
        sleep 0.01
    done
}
more_prompts_than() { [ "$(prompts)" -gt "$1" ]; }
printed() { grep -q -E "$1" "$work/out"; }
gone() { ! kill -0 "$pid" 2>/dev/null; }

mkfifo "$work/in"
"$@" -i <"$work/in" >"$work/out" 2>&1 &
pid=$!
exec 3>"$work/in"
say() { echo "$1" >&3; }

say "addpath('$dir'); reloj(); $function(0); disp('ready')"
until_true 60 printed '^(octave:[0-9]+> )?ready$' || { fail "Octave did not start"; cat "$work/out"; exit 1; }
until_true 10 more_prompts_than 1 || { fail "no prompt after the start"; cat "$work/out"; exit 1; }

# name | the command, WAIT(ms) standing for the wait | what it must print | what it must not
cases="a loop of waits, each in try|for k = 1:3, try, WAIT(3000); catch, end, end, disp done||done
unwind_protect|unwind_protect, WAIT(1e7); unwind_protect_cleanup, disp cleanup, end_unwind_protect|cleanup|
a wait alone|WAIT(1e7)||
a wait at level 1 (prioridad, which the session may raise: root)|prioridad(1); unwind_protect, WAIT(1e7); unwind_protect_cleanup, prioridad(0); disp back, end_unwind_protect|back|"
n=0
while IFS='|' read -r name command wanted unwanted; do
    n=$((n + 1))
    for wait in "$function" pause; do
        case $wait in
            espera) line=$(echo "$command" | sed -E 's/WAIT\(([^)]*)\)/espera(\1)/g') ;;
            hasta) line=$(echo "$command" | sed -E 's/WAIT\(([^)]*)\)/hasta(reloj() + \1)/g') ;;
            pause) line=$(echo "$command" | sed -E 's/WAIT\(([^)]*)\)/pause(\1 \/ 1000)/g') ;;
        esac
        before=$(prompts)
        offset=$(wc -c <"$work/out")
        say "disp('waiting $n $wait'), fflush(stdout); $line"
        until_true 20 printed "waiting $n $wait\$" || fail "$name, $wait: the command did not start"
        sleep 0.5  # well into the wait
        interrupted=$(now_ms)
        kill -INT "$pid"
        if until_true 20 more_prompts_than "$before"; then
            took=$(($(now_ms) - interrupted))
            echo "$name, $wait: the prompt back $took ms after SIGINT"
            [ "$took" -lt 2000 ] || fail "$name, $wait: the prompt came back only $took ms after SIGINT"
        else
            fail "$name, $wait: no prompt within 20 s of SIGINT"
        fi
        text=$(printed_since "$offset")
        [ "$wait" = pause ] && text_pause=$text || text_function=$text
        case $text in *error*) fail "$name, $wait: an error was printed: [$text]" ;; esac
        [ -z "$wanted" ] || case $text in *"$wanted"*) ;; *) fail "$name, $wait: no [$wanted] in [$text]" ;; esac
        [ -z "$unwanted" ] || case $text in *"$unwanted"*) fail "$name, $wait: [$unwanted] in [$text]" ;; esac
    done
    [ "$(echo "$text_function" | sed "s/$function/WAIT/")" = "$(echo "$text_pause" | sed 's/pause/WAIT/')" ] ||
        fail "$name: with $function Octave printed [$text_function], with pause [$text_pause]"
done <<EOF_CASES
$cases
EOF_CASES

# The session goes on: the next command runs and prints its result.
offset=$(wc -c <"$work/out")
say "t = reloj()"
until_true 20 printed '^(octave:[0-9]+> )?t = [0-9]' || fail "the next command printed [$(printed_since "$offset")]"
say "exit"
exec 3>&-
if ! until_true 20 gone; then
    fail "Octave did not exit"
    kill -KILL "$pid"
fi
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "Octave ended with status $status"

[ $failures -eq 0 ] && echo "octave interrupt: all checks passed"
[ $failures -eq 0 ] || cat "$work/out"
exit $((failures != 0))
