## octave_hasta (MEXDIR, REFDIR, OUTDIR, SCALE, HOGS)
##
## hasta against the usual deadline wait, hasta_ref (REFDIR/hasta_ref.mex,
## built from bench/hasta_ref.cpp: one sleep until a fixed 1 ms before the
## deadline, then a spin), in GNU Octave: waits of 10 and 100 ms to a
## deadline reloj() + d, on the idle machine at priority level 0, then beside
## the processes HOGS (pids, one busy loop per core, stopped when this starts)
## at level 0 and at level 1 (prioridad).
##
## The two run in blocks of one way each, the order turned around every
## round: taking turns wait by wait would be unfair, since a wait that follows
## a long spin starts behind the scheduler. Each wait gives two latenesses:
## its own, the time it returned minus the deadline, and the host's, reloj()
## after the call minus the deadline. Every wait goes to samples_octave_hasta.csv
## (platform: the machine and level); each block's processor time (cputime)
## and wall time to hasta_blocks.csv.
##
## Where prioridad is refused, the blocks at level 1 are left out, and
## hasta_refused.txt says why. The level is given back as found, also on an
## error. SCALE multiplies the number of waits (default 1: about a minute and
## a half).

function octave_hasta (mexdir, refdir, outdir, scale, hogs)
  addpath (mexdir);
  addpath (refdir);
  reloj ();
  hasta (0);
  hasta_ref (0);

  conditions = {"idle", 0; "loaded", 0; "loaded", 1};
  found = 0;
  try
    found = prioridad ();
    restore = onCleanup (@() prioridad (found));
    prioridad (1);
    prioridad (found);
  catch err
    out = fopen (fullfile (outdir, "hasta_refused.txt"), "w");
    fprintf (out, "%s\n", regexprep (err.message, "^prioridad: ", ""));
    fclose (out);
    conditions = conditions(1:2, :);
  end_try_catch

  durations = [10 100];
  per_block = [50 20];
  rounds = max (2, 2 * round (3 * scale));
  ## Each way: its name, its call, and the conditions it runs in (all where
  ## none are named, as in "loaded level 1").
  ways = {"hasta", @(t) hasta (t), {}; "reference", @(t) hasta_ref (t), {}};
  samples = fopen (fullfile (outdir, "samples_octave_hasta.csv"), "w");
  fprintf (samples, "platform,wait,duration_ms,lateness_us\n");
  blocks = fopen (fullfile (outdir, "hasta_blocks.csv"), "w");
  fprintf (blocks, "machine,level,way,duration_ms,round,waits,wall_s,cpu_s\n");
  for c = 1:rows (conditions)
    [machine, level] = conditions{c, :};
    platform = sprintf ("%s level %d", machine, level);
    here = find (cellfun (@(only) isempty (only) || any (strcmp (only, platform)), ways(:, 3)))';
    if (strcmp (machine, "loaded"))
      signal_all (hogs, SIG ().CONT);
    endif
    if (level != found)
      prioridad (level);
    endif
    for k = 1:numel (durations)
      d = durations(k);
      n = per_block(k);
      for r = 1:rounds
        order = here;
        if (mod (r, 2) == 0)
          order = fliplr (here);
        endif
        for w = order
          wait = ways{w, 2};
          own = zeros (1, n);
          host = zeros (1, n);
          c0 = cputime ();
          t0 = reloj ();
          for i = 1:n
            deadline = reloj () + d;
            ended = wait (deadline);
            after = reloj ();
            own(i) = ended - deadline;
            host(i) = after - deadline;
          endfor
          wall = (reloj () - t0) / 1000;
          cpu = cputime () - c0;
          fprintf (blocks, "%s,%d,%s,%g,%d,%d,%.4f,%.4f\n", machine, level, ways{w, 1}, d, r, n, wall, cpu);
          fprintf (samples, [platform "," ways{w, 1} " own,%g,%.4f\n"], [repmat(d, 1, n); 1000 * own]);
          fprintf (samples, [platform "," ways{w, 1} " by reloj(),%g,%.4f\n"], [repmat(d, 1, n); 1000 * host]);
        endfor
      endfor
    endfor
    if (level != found)
      prioridad (found);
    endif
    if (strcmp (machine, "loaded"))
      signal_all (hogs, SIG ().STOP);
    endif
  endfor
  fclose (samples);
  fclose (blocks);
endfunction
