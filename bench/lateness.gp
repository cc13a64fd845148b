# The lateness curves of `make bench`: for each duration, the share of waits
# that ended at least so late past their deadline, for every way of waiting.
# Both axes are logarithmic, so the median, the tail and the worst case all
# show. Run by bench/run.sh:
#   gnuplot -e "dir='build/bench'; png='build/bench/lateness.png'; subtitle='...'; durations='0.1 1 5 10 20'" \
#       bench/lateness.gp
# reads dir/curves_D.dat for each D in durations (one block per way of
# waiting, its title first) and writes the PNG file png, a panel for each D.

# 1600 pixels wide for two columns of panels, 500 more for each further one.
set terminal pngcairo size 1600 + 500 * ((words(durations) + 1) / 2 - 2), 1150 font "sans,11"
set output png
set datafile separator "\t"

set logscale xy
set format x "10^{%T}"
set format y "10^{%T}"
set xrange [0.0005:100000]
set yrange [0.0001:1.5]
set grid xtics ytics mxtics
set xlabel "lateness past the deadline, µs (0 drawn at 0.001)"
set ylabel "share of waits at least this late"
# Twelve colours that stay apart, in the order the ways of waiting come.
colours = "#000000 #e41a1c #377eb8 #4daf4a #984ea3 #ff7f00 #a65628 #f781bf #999999 #17becf #bcbd22 #1a1a80"
do for [i=1:12] { set linetype i linecolor rgb word(colours, i) }
# One key for all four panels, in the column to their right.
set key at screen 0.995, 0.88 right top font ",10" spacing 1.1 box

set label 1 at screen 0.8, 0.42 left font ",10" noenhanced \
    "espera (busy wait): the wait itself, from its own\nstart reading.\n\n".\
    "octave: the whole call, from the script's\nreloj() before it; includes the call.\n\n".\
    "linux: CLOCK_MONOTONIC, 1 ns ticks.\noctave: reloj's clock, the same."

# Two rows of panels, as many columns as that takes.
set multiplot layout 2,(words(durations) + 1) / 2 title "How late a wait ends past its deadline\n".subtitle font ",13" \
    margins 0.05, 0.78, 0.06, 0.9 spacing 0.07, 0.1
do for [d in durations] {
    file = dir."/curves_".d.".dat"
    # (Column 2, the share, is always within the y range, which stats heeds.)
    stats file using 2 nooutput
    set title "waiting ".d." ms"
    plot for [i=0:STATS_blocks-1] file index i using 1:2 with fsteps linewidth 2 \
         linecolor i+1 title columnheader(1) noenhanced
    unset key
}
unset multiplot
