## octave_bench (MEXDIR, OUTDIR, SCALE)
##
## What sondeo (which prints its table) measures in GNU Octave, with the
## extensions of MEXDIR, written into OUTDIR for bench/summarise.m: every wait
## (samples_octave.csv), the cost of a call (octave_cost.csv) and the gaps in
## reading reloj (octave_gaps.csv). SCALE multiplies sondeo's 10 seconds.

function octave_bench (mexdir, outdir, scale)
  ## The source's sondeo, unless MEXDIR has its own (it comes first).
  addpath (fullfile (fileparts (mfilename ("fullpath")), "..", "sondeo"));
  addpath (mexdir);
  r = sondeo (min (3600, max (1, 10 * scale)), "plot", false);

  samples = fopen (fullfile (outdir, "samples_octave.csv"), "w");
  fprintf (samples, "platform,wait,duration_ms,lateness_us\n");
  ways = {"espera(d)", r.espera; "hasta(reloj()+d)", r.hasta; "pause(d/1000)", r.pause};
  for k = 1:numel (r.durations_ms)
    for w = 1:rows (ways)
      late = ways{w, 2}.late_us{k};
      fprintf (samples, ["octave," ways{w, 1} ",%g,%.4f\n"], [repmat(r.durations_ms(k), 1, numel (late)); late(:)']);
    endfor
  endfor
  fclose (samples);

  out = fopen (fullfile (outdir, "octave_cost.csv"), "w");
  fprintf (out, "what,ns_per_call,min_interval_ns\n");
  fprintf (out, "reloj(),%.1f,%.1f\n", 1000 * [r.reloj_cost_us, r.reloj_min_interval_us]);
  fprintf (out, "tic(),%.1f,NaN\n", 1000 * r.tic_cost_us);
  fprintf (out, "toc(id),%.1f,%.1f\n", 1000 * [r.toc_cost_us, r.toc_min_interval_us]);
  fclose (out);

  g = r.gaps;
  out = fopen (fullfile (outdir, "octave_gaps.csv"), "w");
  fprintf (out, "platform,seconds,threshold_us,gaps,per_second,time_in_gaps_pct,longest_us\n");
  fprintf (out, "octave,%.3f,%.1f,%d,%.2f,%.4f,%.1f\n", g.span_s, g.threshold_us, g.count, g.per_second,
           g.share_pct, g.longest_us);
  fclose (out);
endfunction
