## octave_bench (MEXDIR, OUTDIR, SCALE)
##
## espera and reloj as a script in GNU Octave sees them: espera(d) next to
## pause(d/1000), and what one reloj() call costs next to tic and toc. MEXDIR
## holds reloj.mex and espera.mex; OUTDIR receives lateness_octave.csv,
## exceedance_octave.csv and octave_cost.csv. SCALE multiplies the number of
## waits and calls (default 1).
##
## The deadline is the caller's: lateness = (end - reloj() before the call) - d,
## so it includes the interpreter's cost of the calls, which a script pays too.
## espera returns its end time on reloj's scale; after pause, reloj() reads it.

function octave_bench (mexdir, outdir, scale)
  if (nargin < 3)
    scale = 1;
  endif
  addpath (mexdir);
  durations = [0.1 1 5 20];
  waits = [2000 500 200 50];

  lat = fopen (fullfile (outdir, "lateness_octave.csv"), "w");
  cur = fopen (fullfile (outdir, "exceedance_octave.csv"), "w");
  fprintf (lat, "platform,wait,duration_ms,waits,p50_us,p90_us,p99_us,p99_9_us,max_us,read_ns,tick_ns,switched_pct\n");
  fprintf (cur, "platform,wait,duration_ms,lateness_us,share_at_least\n");
  printf ("\nLateness past the caller's deadline in Octave %s (reloj's clock). Microseconds.\n", OCTAVE_VERSION);
  printf ("%-24s %6s %6s %10s %10s %10s %10s %10s\n", "wait", "ms", "waits", "p50", "p90", "p99", "p99.9", "max");
  for k = 1:numel (durations)
    d = durations(k);
    n = max (1, round (waits(k) * scale));
    late = zeros (n, 2);
    espera (d);  # warm up: the first call loads the extension
    pause (d / 1000);
    for i = 1:n   # taking turns, so load elsewhere falls on both alike
      t0 = reloj ();
      late(i, 1) = (espera (d) - t0) - d;
      t0 = reloj ();
      pause (d / 1000);
      late(i, 2) = (reloj () - t0) - d;
    endfor
    names = {"espera(d)", "pause(d/1000)"};
    for w = 1:2
      s = sort (late(:, w)) * 1000;
      p = [rank_value(s, 0.5), rank_value(s, 0.9), rank_value(s, 0.99), rank_value(s, 0.999), s(end)];
      printf ("%-24s %6g %6d %10.3f %10.3f %10.3f %10.3f %10.3f\n", names{w}, d, n, p);
      fprintf (lat, "octave,%s,%g,%d,%.4f,%.4f,%.4f,%.4f,%.4f,,,\n", names{w}, d, n, p);
      ## Each distinct lateness with the share of waits at least that late.
      first = [true; diff(s) != 0];
      for i = find (first)'
        fprintf (cur, "octave,%s,%g,%.4f,%.6g\n", names{w}, d, s(i), (n - i + 1) / n);
      endfor
    endfor
  endfor
  fclose (lat);
  fclose (cur);

  ## Cost per call: a loop of calls, less the same loop empty, timed by reloj.
  n = max (1, round (200000 * scale));
  t = reloj (); for i = 1:n, endfor; empty = reloj () - t;
  t = reloj (); for i = 1:n, x = reloj (); endfor; r = reloj () - t;
  t = reloj (); for i = 1:n, id = tic (); endfor; tc = reloj () - t;
  t = reloj (); for i = 1:n, x = toc (id); endfor; tt = reloj () - t;
  ## Resolution: the smallest step between successive readings.
  m = 10000;
  xr = zeros (m, 1); xt = zeros (m, 1);
  for i = 1:m, xr(i) = reloj (); endfor
  id = tic ();
  for i = 1:m, xt(i) = toc (id); endfor
  step_r = min_step (xr) * 1e6;         # ms to ns
  step_t = min_step (xt) * 1e9;         # s to ns
  costs = {"reloj()", (r - empty) / n * 1e6, step_r;
          "tic()", (tc - empty) / n * 1e6, NaN;
          "toc(id)", (tt - empty) / n * 1e6, step_t};
  printf ("\nCost of a call in Octave (ns, %d calls, empty loop subtracted) and finest step seen:\n", n);
  out = fopen (fullfile (outdir, "octave_cost.csv"), "w");
  fprintf (out, "what,ns_per_call,finest_step_ns\n");
  for i = 1:rows (costs)
    printf ("  %-10s %9.0f ns per call   finest step %s\n", costs{i, 1}, costs{i, 2}, step_text (costs{i, 3}));
    fprintf (out, "%s,%.1f,%.1f\n", costs{i, :});
  endfor
  fclose (out);
endfunction

## Nearest rank: the smallest value with at least share p of all at or below it.
function v = rank_value (sorted, p)
  v = sorted(max (1, ceil (p * numel (sorted))));
endfunction

function s = min_step (x)
  steps = diff (x);
  s = min (steps(steps > 0));
  if (isempty (s))
    s = NaN;
  endif
endfunction

function t = step_text (ns)
  if (isnan (ns))
    t = "-";
  else
    t = sprintf ("%.0f ns", ns);
  endif
endfunction
