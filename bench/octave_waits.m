## octave_waits (PART, OUTDIR, SCALE, HOGS, DIRS...)
##
## Times waits in GNU Octave, with the extensions of the folders DIRS, as the
## table below says for PART. A block is N turns of one or more ways of
## waiting, a wait of each in a turn. Before each block the busy processes
## HOGS (pids, stopped when this starts) are continued where its machine is
## "loaded" and stopped elsewhere, and prioridad's level is set to the
## block's; it is given back as found however this ends. Where level 1 is
## refused, its blocks are left out and OUTDIR/PART_refused.txt says why.
##
## Every wait goes to OUTDIR/samples_octave_PART.csv, under the names the
## table gives, with two latenesses past its deadline (the reloj() before it
## plus d): its own, the end it returns, and the script's, the reloj() right
## after it; where ways take turns, with its processor time (cputime around
## it). Each block's wall time, processor time and the share of it the
## virtual machine's host took the processors away (steal in /proc/stat) go
## to OUTDIR/PART_blocks.csv.

function octave_waits (part, outdir, scale, hogs, varargin)
  for dir = varargin
    addpath (dir{1});
  endfor
  p = parts (scale).(part);
  ways = cell2struct (p.ways, {"name", "call", "own", "by_reloj", "only"}, 2);
  [level, refused] = probe_level (p.conditions);
  if (! isnan (level))
    restore = onCleanup (@() prioridad (level));
  endif
  if (! isempty (refused))
    printf ("No waits at level 1: %s\n", refused);
    out = fopen (fullfile (outdir, [part "_refused.txt"]), "w");
    fprintf (out, "%s\n", refused);
    fclose (out);
    p.conditions(cellfun (@level_of, p.conditions) == 1) = [];
    level = [level(! isnan (level)), 0](1);  # where prioridad is missing, the thread runs as it started
  endif
  samples = fopen (fullfile (outdir, ["samples_octave_" part ".csv"]), "w");
  fprintf (samples, "platform,wait,duration_ms,lateness_us,cpu_us\n");
  blocks = fopen (fullfile (outdir, [part "_blocks.csv"]), "w");
  fprintf (blocks, "machine,level,way,duration_ms,round,waits,wall_s,cpu_s,steal_pct\n");
  timed_block ({ways.call}, 0, 1);  # the first calls load the extensions: not what a script pays in its loop
  loaded = false;
  for b = schedule (p, ways)'
    [c, d, n, r, w] = deal (p.conditions{b(1)}, p.ms(b(2)), p.waits(b(2)), b(3), b(4:end)(b(4:end) > 0));
    if (strncmp (c, "loaded", 6) != loaded)
      loaded = ! loaded;
      signal_all (hogs, {SIG().STOP, SIG().CONT}{loaded + 1});
    endif
    if (! isnan (level_of (c)) && level_of (c) != level)
      level = level_of (c);
      prioridad (level);
    endif
    [late, cpu, block] = timed_block ({ways(w).call}, d, n);
    fprintf (blocks, "%s,%d,%s,%g,%d,%d,%.4f,%.4f,%.3f\n", strtok (c), level_of (c), strjoin ({ways(w).name}, " + "), ...
             d, r, n, block);
    for i = 1:numel (w)
      named = {ways(w(i)).own, ways(w(i)).by_reloj};
      for s = find (! cellfun (@isempty, named))
        fprintf (samples, [c "," named{s} ",%g,%.4f,%.1f\n"], [repmat(d, 1, n); 1000 * late(s, i, :)(:)'; 1e6 * cpu(i, :)]);
      endfor
    endfor
  endfor
  if (loaded)
    signal_all (hogs, SIG ().STOP);
  endif
  fclose (samples);
  fclose (blocks);
endfunction

## The parts. Each has its conditions (as the samples name the platform:
## "octave" for the machine as found, else "idle" or "loaded" and a level);
## durations (ms) with the waits a block takes of each; rounds; the nesting
## of its blocks (loops of machine, level, ms, round and way, the outermost
## first, the one marked * run backwards every other round; without a loop of
## ways, they take turns in one block); and its ways. A way
## has a name; the statement timed, which may use d (ms) and deadline (the
## reloj() before it plus d) and sets ended where the call returns its end;
## the names of its own lateness and of the script's ("": not written); and
## the conditions it runs in ({}: all).
function p = parts (scale)
  ## Waits that need not keep a core busy, and what each costs the machine.
  p.long = struct ("conditions", {{"octave"}}, "ms", [1 10 100], "waits", ceil (scale * [1000 300 100]), ...
                   "rounds", 1, "nest", "ms", "ways", {{
    "espera(d)", "ended = espera (d)", "espera(d) by its end", "", {}
    "hasta(reloj()+d)", "ended = hasta (deadline)", "hasta(reloj()+d) by its end", "", {}
    "pause(d/1000)", "pause (d / 1000)", "", "pause(d/1000) by reloj()", {}}});
  p.cpu = struct ("conditions", {{"octave"}}, "ms", 1000, "waits", 1, "rounds", 5, ...
                  "nest", "round way", "ways", {{
    "espera(1000)", "espera (d)", "", "", {}
    "hasta(reloj()+1000)", "hasta (deadline)", "", "", {}
    "pause(1)", "pause (d / 1000)", "", "", {}}});
  ## prioridad beside busy processes: a level a block, never one a wait, since
  ## a thread that spent half its time at a real-time priority would build up
  ## little debt with the scheduler, which would flatter its waits at level 0.
  p.priority = struct ("conditions", {{"idle level 0", "idle level 1", "loaded level 0", "loaded level 1"}}, ...
                       "ms", 10, "waits", 60, "rounds", max (1, round (5 * scale)), ...
                       "nest", "round machine level*", "ways", {{
    "espera(10)", "espera (d)", "", "espera(10)", {}
    "hasta(reloj()+10)", "hasta (deadline)", "", "hasta(reloj()+10)", {}}});
  ## hasta against the usual deadline wait (bench/hasta_ref.cpp, with a
  ## fixed 1 ms margin), and at level 1 loaded against the same wait with a
  ## fixed 300 us margin too, which spins less and wakes late more often, as
  ## hasta's raised margin would; a block each: taking turns wait by wait
  ## would be unfair, since a wait that follows a long spin starts behind the
  ## scheduler.
  p.hasta = struct ("conditions", {{"idle level 0", "loaded level 0", "loaded level 1"}}, "ms", [10 100], ...
                    "waits", [50 20], "rounds", max (2, 2 * round (3 * scale)), ...
                    "nest", "machine level ms round way*", "ways", {{
    "hasta", "ended = hasta (deadline)", "hasta own", "hasta by reloj()", {}
    "reference", "ended = hasta_ref (deadline, 1)", "reference own", "reference by reloj()", {}
    "reference 300 us", "ended = hasta_ref (deadline, 0.3)", "reference 300 us own", "reference 300 us by reloj()", ...
    {"loaded level 1"}}});
endfunction

## The part's blocks in the order they run, a row each: its condition,
## duration and round, then its ways (0 past them).
function b = schedule (p, ways)
  [keys, b] = deal ([]);
  for c = 1:numel (p.conditions)
    w = find (cellfun (@(only) isempty (only) || any (strcmp (only, p.conditions{c})), {ways.only}));
    groups = {w};
    if (any (strncmp (strsplit (p.nest), "way", 3)))
      groups = num2cell (w);
    endif
    machine = find (strcmp (strtok (p.conditions), strtok (p.conditions{c})), 1);
    [k, r, g] = ndgrid (1:numel (p.ms), 1:p.rounds, 1:numel (groups));
    for i = 1:numel (k)
      keys(end + 1, :) = [machine, level_of(p.conditions{c}), k(i), r(i), g(i)];
      b(end + 1, 1:3 + numel (groups{g(i)})) = [c, k(i), r(i), groups{g(i)}];
    endfor
  endfor
  nest = strsplit (p.nest);
  [~, loops] = ismember (strrep (nest, "*", ""), {"machine", "level", "ms", "round", "way"});
  turned = loops(! cellfun (@isempty, strfind (nest, "*")));
  keys(mod (keys(:, 4), 2) == 0, turned) *= -1;
  keys(isnan (keys)) = 0;
  [~, order] = sortrows (keys(:, [loops, setdiff(1:5, loops)]));
  b = b(order, :);
endfunction

## N turns of the ways whose statements are CALLS, waits of D ms. Each is
## timed between two readings with nothing else between them: run as code,
## not through a function handle, whose call would be timed with it. Where
## ways take turns, each wait's processor time too: the block's would mix them.
function [late, cpu, block] = timed_block (calls, d, n)
  late = NaN (2, numel (calls), n);
  cpu = NaN (numel (calls), n);
  code = "[steal0, all0] = cpu_ticks (); c0 = cputime (); t0 = reloj ();\nfor i = 1:n\n";
  for w = 1:numel (calls)
    [unset, start, stop] = deal ("ended = NaN; ", "", "");
    if (strncmp (calls{w}, "ended = ", 8))
      unset = "";
    endif
    if (numel (calls) > 1)
      [start, stop] = deal ("c = cputime (); ", sprintf ("cpu(%d, i) = cputime () - c; ", w));
    endif
    code = [code sprintf("  %s%sdeadline = reloj () + d; %s; after = reloj ();\n  %slate(:, %d, i) = [ended; after] - deadline;\n", ...
                         unset, start, calls{w}, stop, w)];
  endfor
  eval ([code "endfor\nblock = [(reloj () - t0) / 1000, cputime() - c0, 0];\n" ...
         "[steal1, all1] = cpu_ticks (); block(3) = 100 * (steal1 - steal0) / (all1 - all0);\n"]);
endfunction

## prioridad's level as found, NaN where no condition sets one or prioridad
## is missing; and why level 1 is refused ("" where it is allowed).
function [found, refused] = probe_level (conditions)
  [found, refused] = deal (NaN, "");
  if (any (! isnan (cellfun (@level_of, conditions))))
    try
      found = prioridad ();
      prioridad (1);
      prioridad (found);
    catch err
      refused = regexprep (err.message, "^prioridad: ", "");
    end_try_catch
  endif
endfunction

function level = level_of (condition)
  level = str2double ([regexp(condition, 'level (\d+)$', "tokens", "once"), {"-"}]{1});
endfunction

## Sends every process of PIDS the signal SIG; one that has ended is an error:
## the blocks it should have loaded would not be what they say.
function signal_all (pids, sig)
  for pid = pids
    if (kill (pid, sig) != 0)
      error ("bench: busy process %d is gone (it ends on its own after a set time)", pid);
    endif
  endfor
endfunction

## The steal ticks and all ticks of every processor since the machine
## started: the first line of /proc/stat (user nice system idle iowait irq
## softirq steal; the guest columns after them are within user and nice).
function [steal, all] = cpu_ticks ()
  ticks = sscanf (fileread ("/proc/stat")(5:end), "%f", 8)';
  if (numel (ticks) != 8)
    error ("bench: cannot read /proc/stat");
  endif
  steal = ticks(8);
  all = sum (ticks);
endfunction
