#!/bin/sh
# make bench: runs the measuring programs in turn, each writing what it
# measured into build/bench (docs/precision.md says what each part measures),
# then bench/summarise.m, which reckons every figure, prints the tables,
# writes summary.md and judges bench/targets.txt; then the plot, lateness.png.
# BENCH_SCALE multiplies the number of waits (default 1: a few minutes);
# BENCH_PLOT names the plot's file (BENCH_PLOT=docs/lateness.png draws it where
# docs/precision.md shows it); BENCH_OUT, BENCH_BIN (the benchmarks),
# OCTAVE_MEX_DIR and BENCH_REF_DIR name other folders, defaults as below.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BENCH_OUT:-$root/build/bench}
scale=${BENCH_SCALE:-1}
bin=${BENCH_BIN:-$root/build/linux/bin}
octave_mex=${OCTAVE_MEX_DIR:-$root/dist/octave}
plot=${BENCH_PLOT:-$out/lateness.png}
ref_mex=${BENCH_REF_DIR:-$root/build/linux/bench/octave}
wine_bin=$root/build/windows/bin
mkdir -p "$out"
rm -f "$out"/*.csv "$out"/*.dat "$out"/*.md "$out"/*.txt "$out"/lateness.png

# The busy processes of the priority blocks: one loop per core, each stopped
# at once and run only in the blocks that want it, each ending on its own
# after a set time, and killed when this script ends, however it ends.
hogs=""
stop_hogs() {
    [ -z "$hogs" ] || kill -KILL $hogs 2>/dev/null || true
    hogs=""
}
trap stop_hogs EXIT
trap 'stop_hogs; exit 130' INT TERM HUP
# start_hogs SECONDS: one per core, each stopped before this returns, each
# ending on its own after SECONDS.
start_hogs() {
    for i in $(seq "$(nproc)"); do
        perl -e '$end = time + $ARGV[0]; kill "STOP", $$; 1 while time < $end' "$1" &
        hogs="$hogs $!"
    done
    for pid in $hogs; do
        while [ "$(cut -d ' ' -f 3 "/proc/$pid/stat")" != T ]; do sleep 0.01; done
    done
}
seconds() { awk -v s="$scale" -v a="$1" -v b="$2" 'BEGIN { printf "%d", a + b * s }'; }

# octave_part NAME CALL: runs the Octave statement CALL with bench/ on the
# path; a part that fails is named after the summary, and the rest still counts.
skipped=""
octave_part() {
    octave --no-gui --no-window-system --norc --quiet --eval "addpath('$root/bench'); $2" ||
        skipped="$skipped $1(failed)"
}

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
{
    echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "machine: $(nproc) cores, $cpu, $(uname -sr)"
    echo "load average at start: $(cut -d ' ' -f 1-3 /proc/loadavg)"
} >"$out/machine.txt"
cat "$out/machine.txt"

"$bin/fecha_pairs" "$root/dist/linux/fecha.mexa64" linux "$out/fecha_samples.csv"
if [ -x "$wine_bin/fecha_pairs.exe" ] && [ -f "$root/dist/windows/fecha.mexw64" ]; then
    sh "$root/cmake/wine.sh" "$wine_bin/fecha_pairs.exe" "Z:$root/dist/windows/fecha.mexw64" wine \
        "Z:$out/fecha_samples.csv" || skipped="$skipped fecha-wine(failed)"
else
    skipped="$skipped fecha-wine(no $wine_bin/fecha_pairs.exe)"
fi
if [ -x "$bin/reloj_cost" ]; then
    "$bin/reloj_cost" --benchmark_out="$out/cost.csv" --benchmark_out_format=csv
else
    skipped="$skipped reloj_cost(no Google Benchmark)"
fi
"$bin/lateness" "$out" "$scale"

if command -v octave >/dev/null 2>&1 && [ -f "$octave_mex/reloj.mex" ] && [ -f "$octave_mex/espera.mex" ] &&
    [ -f "$octave_mex/hasta.mex" ]; then
    octave_part sondeo "octave_bench('$octave_mex', '$out', $scale)"
    octave_part fecha "octave_fecha('$octave_mex', '$out')"
    for part in long cpu; do
        octave_part $part "octave_waits('$part', '$out', $scale, [], '$octave_mex')"
    done
    start_hogs "$(seconds 90 60)"
    octave_part priority "octave_waits('priority', '$out', $scale, [$hogs], '$octave_mex')"
    stop_hogs
    if [ -f "$ref_mex/hasta_ref.mex" ]; then
        start_hogs "$(seconds 120 90)"
        octave_part hasta "octave_waits('hasta', '$out', $scale, [$hogs], '$octave_mex', '$ref_mex')"
        stop_hogs
    else
        skipped="$skipped hasta(no $ref_mex/hasta_ref.mex)"
    fi
else
    skipped="$skipped octave(no $octave_mex/reloj.mex, espera.mex and hasta.mex)"
fi
# fecha again: how far its two scales moved apart during the run.
"$bin/fecha_pairs" "$root/dist/linux/fecha.mexa64" linux-end "$out/fecha_samples.csv" 1000
echo "load average at end: $(cut -d ' ' -f 1-3 /proc/loadavg)" >>"$out/machine.txt"

octave --no-gui --no-window-system --norc --quiet --eval "addpath('$root/bench'); summarise('$root', '$out')"
if command -v gnuplot >/dev/null 2>&1; then
    subtitle="$(sed -n 's/^machine: //p' "$out/machine.txt"), $(sed -n 's/^date: //p' "$out/machine.txt")"
    durations=$(ls "$out"/curves_*.dat | sed 's/.*curves_\(.*\)\.dat$/\1/' | sort -g | tr '\n' ' ')
    gnuplot -e "dir='$out'; png='$plot'; subtitle='$subtitle'; durations='$durations'" "$root/bench/lateness.gp"
else
    skipped="$skipped plot(no gnuplot)"
fi
echo
echo "Written: $out/summary.md, $out/lateness.csv, $plot, and what each part measured, in $out"
[ -z "$skipped" ] || echo "Skipped:$skipped"
