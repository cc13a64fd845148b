## octave_long_waits (MEXDIR, OUTDIR, SCALE)
##
## Long waits in GNU Octave, and what they cost the machine:
##
## - Lateness of espera(d) next to the pattern for long waits that spares the
##   processor, pause until 2 ms before the deadline and espera the rest, for
##   d = 20 and 100 ms, taking turns. Both are timed from reloj() just
##   before (plus d: the deadline) to the end espera returns. Every wait
##   goes to samples_octave_long.csv, as octave_bench's do, for
##   `lateness --samples octave_long`, so make bench tables and plots them
##   alike.
## - Processor time of a one-second wait: espera(1000) against pause(1), by
##   cputime, five runs of each in turns. Written to octave_cpu.csv.
##
## MEXDIR holds reloj.mex and espera.mex. SCALE multiplies the number of
## waits (default 1: about 45 s in all).

function octave_long_waits (mexdir, outdir, scale)
  if (nargin < 3)
    scale = 1;
  endif
  addpath (mexdir);
  ## The first calls load the extensions: not what a script pays in its loop.
  reloj ();
  espera (0);
  pause (0);

  durations = [20 100];
  counts = ceil (scale * [250 100]);
  samples = fopen (fullfile (outdir, "samples_octave_long.csv"), "w");
  for k = 1:numel (durations)
    d = durations(k);
    n = counts(k);
    plain = zeros (1, n);
    spared = zeros (1, n);
    for i = 1:n
      t0 = reloj ();
      plain(i) = espera (d) - t0 - d;
      spared(i) = pause_then_spin (d);
    endfor
    ways = {"espera(d)", plain; "pause+espera(d)", spared};
    for w = 1:rows (ways)
      write_samples (samples, ways{w, 1}, d, 1000 * ways{w, 2});
    endfor
  endfor
  fclose (samples);

  ## cputime counts every thread of the process, the interpreter's own too.
  runs = 5;
  cpu = zeros (runs, 2);
  wall = zeros (runs, 2);
  for i = 1:runs
    [cpu(i, 1), wall(i, 1)] = cost_of (@() espera (1000));
    [cpu(i, 2), wall(i, 2)] = cost_of (@() pause (1));
  endfor
  out = fopen (fullfile (outdir, "octave_cpu.csv"), "w");
  fprintf (out, "wait,runs,cpu_s_median,cpu_s_min,cpu_s_max,wall_s_median\n");
  names = {"espera(1000)", "pause(1)"};
  for w = 1:2
    fprintf (out, "%s,%d,%.3f,%.3f,%.3f,%.3f\n", names{w}, runs, median (cpu(:, w)), min (cpu(:, w)),
             max (cpu(:, w)), median (wall(:, w)));
  endfor
  fclose (out);
endfunction

## The pattern for a long wait, as a script writes it: sleep all but the last
## 2 ms, then spin to the deadline. Returns how late it ended, in ms. When the
## system wakes the script after the deadline, espera has nothing left to do.
function late = pause_then_spin (d)
  deadline = reloj () + d;
  pause (max (0, deadline - 2 - reloj ()) / 1000);
  late = espera (deadline - reloj ()) - deadline;
endfunction

function [cpu_s, wall_s] = cost_of (wait)
  t = reloj ();
  c = cputime ();
  wait ();
  cpu_s = cputime () - c;
  wall_s = (reloj () - t) / 1000;
endfunction
