## octave_priority (MEXDIR, OUTDIR, SCALE, HOGS)
##
## What prioridad does for waits on a busy machine, in GNU Octave: espera(10)
## and hasta(reloj() + 10), taking turns, on the idle machine and with the
## processes HOGS (pids, one busy loop per core, stopped when this starts)
## running, at priority level 0 and at level 1. The levels run in blocks of
## their own, alternating, and the machine's state with them: a thread that
## changed level every wait would spend half its time at a real-time
## priority and so build up little debt with the scheduler, which would
## flatter its waits at level 0. Each round has a block of each level on each
## machine, the order turned around every other round.
##
## Lateness as everywhere in make bench: reloj() after the call minus the
## deadline (the reloj() before the call plus 10). Every wait goes to
## samples_octave_priority.csv (platform: the machine and level, as in
## "loaded level 1"); each block's share of the time the virtual machine's
## host took the processors away (steal, in /proc/stat) to
## priority_blocks.csv.
##
## Where prioridad is missing or the system refuses level 1, the blocks at
## level 0 still run, and priority_refused.txt says why. The level is given
## back as found, also on an error. MEXDIR holds reloj.mex, espera.mex,
## hasta.mex and prioridad.mex. SCALE multiplies the number of waits
## (default 1: about half a minute).

function octave_priority (mexdir, outdir, scale, hogs)
  addpath (mexdir);
  reloj ();
  espera (0);
  hasta (0);

  levels = [0 1];
  refused = "";
  try
    found = prioridad ();
    restore = onCleanup (@() prioridad (found));
    prioridad (1);
    prioridad (found);
  catch err
    refused = regexprep (err.message, "^prioridad: ", "");
    levels = 0;
  end_try_catch
  if (! isempty (refused))
    out = fopen (fullfile (outdir, "priority_refused.txt"), "w");
    fprintf (out, "%s\n", refused);
    fclose (out);
    printf ("No waits at level 1: %s\n", refused);
  endif

  turns = 60;
  rounds = max (1, round (5 * scale));
  machines = {"idle", "loaded"};
  samples = fopen (fullfile (outdir, "samples_octave_priority.csv"), "w");
  fprintf (samples, "platform,wait,duration_ms,lateness_us\n");
  blocks = fopen (fullfile (outdir, "priority_blocks.csv"), "w");
  fprintf (blocks, "round,machine,level,seconds,steal_pct\n");
  d = 10;
  for r = 1:rounds
    order = levels;
    if (mod (r, 2) == 0)
      order = fliplr (levels);
    endif
    for m = 1:2
      if (m == 2)
        signal_all (hogs, SIG ().CONT);
      endif
      for level = order
        if (numel (levels) > 1)
          prioridad (level);
        endif
        late = zeros (2, turns);
        [steal0, all0] = cpu_ticks ();
        t_start = reloj ();
        for i = 1:turns
          t0 = reloj ();
          espera (d);
          late(1, i) = reloj () - t0 - d;
          t0 = reloj ();
          hasta (t0 + d);
          late(2, i) = reloj () - t0 - d;
        endfor
        [steal1, all1] = cpu_ticks ();
        fprintf (blocks, "%d,%s,%d,%.3f,%.3f\n", r, machines{m}, level, (reloj () - t_start) / 1000,
                 100 * (steal1 - steal0) / (all1 - all0));
        names = {"espera(10)", "hasta(reloj()+10)"};
        for w = 1:2
          fprintf (samples, sprintf ("%s level %d,%s,%%g,%%.4f\n", machines{m}, level, names{w}),
                   [repmat(d, 1, turns); 1000 * late(w, :)]);
        endfor
      endfor
      if (m == 2)
        signal_all (hogs, SIG ().STOP);
      endif
    endfor
  endfor
  fclose (samples);
  fclose (blocks);
  if (numel (levels) > 1)
    prioridad (found);
  endif
endfunction
## The steal ticks and all ticks of every processor since the machine
## started: the first line of /proc/stat (user nice system idle iowait irq
## softirq steal; the guest columns after them are within user and nice).
function [steal, all] = cpu_ticks ()
  stat = fopen ("/proc/stat", "r");
  if (stat < 0)
    error ("octave_priority: cannot read /proc/stat");
  endif
  line = fgetl (stat);
  fclose (stat);
  ticks = sscanf (line(5:end), "%f")';
  steal = ticks(8);
  all = sum (ticks(1:8));
endfunction
