## octave_long_waits (MEXDIR, OUTDIR, SCALE)
##
## Waits that need not keep a core busy, in GNU Octave, and what each way of
## waiting costs the machine:
##
## - Lateness of espera(d), hasta(reloj() + d) and pause(d/1000), for d = 1,
##   10 and 100 ms, taking turns, so that load elsewhere falls on all alike.
##   Each is timed from reloj() just before the call (plus d: the deadline):
##   espera and hasta to the end they return, pause, which returns none, to
##   reloj() just after it. Every wait goes to samples_octave_long.csv, as
##   octave_bench's do, so that make bench tables and plots them alike.
## - The processor time each way takes, by cputime around each call, summed
##   for each d: octave_cpu_share.csv (bench/summarise.m makes it a share of
##   the time waited).
## - Processor time of a one-second wait: espera(1000), hasta(reloj() + 1000)
##   and pause(1), five runs of each in turns, each run a line of
##   octave_cpu.csv.
##
## MEXDIR holds reloj.mex, espera.mex and hasta.mex. SCALE multiplies the
## number of waits (default 1: about a minute in all).

function octave_long_waits (mexdir, outdir, scale)
  if (nargin < 3)
    scale = 1;
  endif
  addpath (mexdir);
  ## The first calls load the extensions: not what a script pays in its loop.
  reloj ();
  espera (0);
  hasta (0);
  pause (0);

  ## Named apart from sondeo's rows of the same waits, which are timed to
  ## reloj() after each call.
  names = {"espera(d) by its end", "hasta(reloj()+d) by its end", "pause(d/1000) by reloj()"};
  durations = [1 10 100];
  counts = ceil (scale * [1000 300 100]);
  samples = fopen (fullfile (outdir, "samples_octave_long.csv"), "w");
  shares = fopen (fullfile (outdir, "octave_cpu_share.csv"), "w");
  fprintf (shares, "wait,duration_ms,waits,cpu_s\n");
  for k = 1:numel (durations)
    d = durations(k);
    n = counts(k);
    late = zeros (3, n);
    cpu = zeros (3, n);
    for i = 1:n
      c = cputime ();
      t0 = reloj ();
      late(1, i) = espera (d) - t0 - d;
      cpu(1, i) = cputime () - c;
      c = cputime ();
      deadline = reloj () + d;
      late(2, i) = hasta (deadline) - deadline;
      cpu(2, i) = cputime () - c;
      c = cputime ();
      t0 = reloj ();
      pause (d / 1000);
      late(3, i) = reloj () - t0 - d;
      cpu(3, i) = cputime () - c;
    endfor
    for w = 1:numel (names)
      write_samples (samples, names{w}, d, 1000 * late(w, :));
      fprintf (shares, "%s,%g,%d,%.6f\n", names{w}, d, n, sum (cpu(w, :)));
    endfor
  endfor
  fclose (samples);
  fclose (shares);

  ## cputime counts every thread of the process, the interpreter's own too.
  runs = 5;
  waits = {"espera(1000)", @() espera(1000); "hasta(reloj()+1000)", @() hasta(reloj() + 1000); ...
           "pause(1)", @() pause(1)};
  out = fopen (fullfile (outdir, "octave_cpu.csv"), "w");
  fprintf (out, "wait,cpu_s,wall_s\n");
  for i = 1:runs
    for w = 1:rows (waits)
      [cpu, wall] = cost_of (waits{w, 2});
      fprintf (out, "%s,%.6f,%.6f\n", waits{w, 1}, cpu, wall);
    endfor
  endfor
  fclose (out);
endfunction

function [cpu_s, wall_s] = cost_of (wait)
  t = reloj ();
  c = cputime ();
  wait ();
  cpu_s = cputime () - c;
  wall_s = (reloj () - t) / 1000;
endfunction
