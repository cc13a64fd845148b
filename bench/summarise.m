## summarise (ROOT, OUT)
##
## make bench's one summariser: reckons every figure of a run from what its
## measuring programs wrote into OUT, prints each part's lateness table and
## the tables of OUT/summary.md, and judges ROOT/bench/targets.txt. Writes
## OUT/lateness.csv (each row's percentiles), OUT/fecha.csv and the plot's
## curves, OUT/curves_D.dat. A part that did not run is left out.

function summarise (root, out)
  ## Percentiles of nearest rank as sondeo reckons them, read from its source:
  ## one definition for a user's figures and the bench's, sondeo still one file.
  eval (regexp (fileread (fullfile (root, "sondeo", "sondeo.m")), ...
                '^function v = nearest_rank\(.*?^end$', "match", "once", "lineanchors"));
  fig = containers.Map ();  # every figure a target may name: "PLATFORM: WAIT, STAT @ MS"
  stat = {"waits", "p50", "p90", "p95", "p99", "p99.9", "worst", "switched", "cpu"};
  series = struct ("part", {}, "name", {}, "ms", {}, "stats", {}, "late", {});
  for part = {"linux", "octave", "octave_long", "octave_priority", "octave_hasta"}
    c = read_csv (fullfile (out, ["samples_" part{1} ".csv"]));
    if (! isfield (c, "wait") || isempty (c.wait))
      continue;
    endif
    [k, firsts] = groups (strcat (c.platform, ",", c.wait, ",", cellstr (num2str (c.duration_ms, "%g"))));
    for i = 1:numel (firsts)
      in = k == i;
      late = sort (c.lateness_us(in))';
      ## The last two: the share of waits switched out, and the processor time
      ## of the waits as a share of the time waited; NaN where not known.
      stats = [numel(late), arrayfun(@(p) nearest_rank (late, p), [0.5 0.9 0.95 0.99 0.999]), late(end), ...
               100 * mean(column (c, "switched")(in)), sum(column (c, "cpu_us")(in)) / (10 * numel (late) * ...
                                                                                         c.duration_ms(firsts(i)))];
      series(end + 1) = struct ("part", part{1}, "name", [c.platform{firsts(i)} ": " c.wait{firsts(i)}], "ms", ...
                                c.duration_ms(firsts(i)), "stats", stats, "late", late);
      for j = 1:numel (stat)
        fig(sprintf ("%s, %s @ %g", series(end).name, stat{j}, series(end).ms)) = stats(j);
      endfor
    endfor
  endfor
  csv = fopen (fullfile (out, "lateness.csv"), "w");
  fprintf (csv, "part,platform: wait,duration_ms,waits,p50_us,p90_us,p95_us,p99_us,p99_9_us,max_us,switched_pct\n");
  for s = series
    fprintf (csv, "%s,%s,%g,%d,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.2f\n", s.part, s.name, s.ms, s.stats(1:8));
  endfor
  fclose (csv);
  counter = read_csv (fullfile (out, "counter_linux.csv"));
  for part = ordered ({series.part})
    printf ("\nLateness past the deadline, %s, us", part{1});
    if (strcmp (part{1}, "linux") && isfield (counter, "read_ns"))
      printf (": CLOCK_MONOTONIC at %d ticks/s, one read %.1f ns", counter.ticks_per_s, counter.read_ns);
    endif
    printf ("\n%-44s %6s %6s %10s %10s %10s %10s %10s %9s\n", "wait", "ms", "waits", "p50", "p90", "p99", "p99.9", ...
            "max", "switched");
    for s = series(strcmp ({series.part}, part{1}))
      printf ("%-44s %6g %6d %10.3f %10.3f %10.3f %10.3f %10.3f %9s\n", s.name, s.ms, s.stats([1 2 3 5 6 7]), ...
              cells_of ("%.1f%%", s.stats(8)){1});
    endfor
  endfor

  md = fopen (fullfile (out, "summary.md"), "w");
  machine = @(what) [regexp(fileread_or (fullfile (out, "machine.txt")), ["(?m)^" what ": ([^\n]*)$"], "tokens"), ...
                      {{"?"}}]{1}{1};
  fprintf (md, "Measured %s on %s;\nload average %s at the start.\n", machine ("date"), machine ("machine"), ...
           machine ("load average at start"));
  main = series(ismember ({series.part}, {"linux", "octave", "octave_long"}));
  if (! isempty (main))
    fprintf (md, "\nLateness past the deadline, microseconds: median / p99.\n\n");
    grid (md, {main.name}, [main.ms], arrayfun (@(s) [us(s.stats(2)) " / " us(s.stats(5))], main, "UniformOutput", 0));
    fprintf (md, "\nWaits per cell:");
    for platform = ordered (regexprep ({main.name}, ":.*", ""))
      m = main(strncmp ({main.name}, [platform{1} ":"], numel (platform{1}) + 1));
      [~, first] = unique ([m.ms], "first");
      fprintf (md, " %s %s;", platform{1}, strjoin (arrayfun (@(s) sprintf ("%d at %g ms", s.stats(1), s.ms), ...
                                                              m(sort (first)), "UniformOutput", false), ", "));
    endfor
    fprintf (md, "\n");
  endif
  if (isfield (counter, "gaps_read_s"))
    ## A deadline at a random moment is more than x late when it falls in the
    ## part of a gap that lies more than x before the gap's end.
    g = [read_csv(fullfile (out, "gaps_linux.csv")).gap_us; 0]';
    for share = [0.01 0.001]
      [low, high] = deal (0, max (g));
      for i = 1:60
        x = (low + high) / 2;
        if (sum (max (0, g - x)) > share * 1e6 * counter.gaps_read_s) low = x; else high = x; endif
      endfor
      fig(sprintf ("linux: counter gaps, p%g", 100 * (1 - share))) = high;
    endfor
    fig("linux: counter read, us") = counter.read_ns / 1000;
    fprintf (md, ["\nlinux: gaps over 1 us between successive counter reads took %.1f%% of %.0f s (%d gaps, %.1f a " ...
                  "second, longest %.0f us): a deadline at a random moment ends later than %.3f us 1%% of the " ...
                  "time, %.3f us 0.1%%.\n"], 100 * sum (g) / (1e6 * counter.gaps_read_s), counter.gaps_read_s, ...
             nnz (g), nnz (g) / counter.gaps_read_s, max (g), fig("linux: counter gaps, p99"), ...
             fig("linux: counter gaps, p99.9"));
  endif
  cost = regexp (fileread_or (fullfile (out, "cost.csv")), '(?m)^"([^"]*)_median",\d+,([^,]+),', "tokens");
  if (numel (cost) == 3)
    ns = containers.Map (cellfun (@(t) t{1}, cost, "UniformOutput", false), cellfun (@(t) str2double (t{2}), cost));
    what = {"counter read", "counter read + conversion", "reloj body"};
    fprintf (md, "\nCost of reloj (Linux; medians of Google Benchmark repetitions):\n\n");
    md_table (md, {"", "ns per call", "x counter read", "x read + conversion"}, ...
              [what', cells_of("%.1f", cell2mat (ns.values (what))), ...
               cells_of("%.2f", cell2mat (ns.values (what)) / ns(what{1})), ...
               cells_of("%.2f", cell2mat (ns.values (what)) / ns(what{2}))]);
    fig("linux: reloj body, x read + conversion") = ns(what{3}) / ns(what{2});
  endif
  c = read_csv (fullfile (out, "octave_cost.csv"));
  if (isfield (c, "what"))
    fprintf (md, "\nIn Octave, per call:\n\n");
    md_table (md, {"", "ns per call", "shortest interval between calls, ns"}, ...
              [c.what, cells_of("%.0f", c.ns_per_call), cells_of("%.0f", c.min_interval_ns)]);
  endif
  c = read_csv (fullfile (out, "octave_gaps.csv"));
  if (isfield (c, "platform"))
    fprintf (md, ["\n%s: gaps over %.0f us between successive reloj() readings took %.1f%% of %.1f s (%d gaps, " ...
                  "%.0f a second, longest %.0f us).\n"], c.platform{1}, c.threshold_us, c.time_in_gaps_pct, ...
             c.seconds, c.gaps, c.per_second, c.longest_us);
  endif
  c = read_csv (fullfile (out, "cpu_blocks.csv"));
  if (isfield (c, "way"))
    fprintf (md, "\nIn Octave, processor time of a one-second wait (cputime):\n\n");
    [k, firsts] = groups (c.way);
    of = @(f, x) cells_of ("%.3f", arrayfun (@(w) f (x(k == w)), 1:numel (firsts)));
    median = @(x) nearest_rank (x, 0.5);
    md_table (md, {"", "runs", "CPU s, median", "min", "max", "wall s, median"}, ...
              [c.way(firsts), cells_of("%d", accumarray (k, 1)), of(median, c.cpu_s), of(@min, c.cpu_s), ...
               of(@max, c.cpu_s), of(median, c.wall_s)]);
  endif
  long = series(strcmp ({series.part}, "octave_long"));
  if (! isempty (long))
    fprintf (md, "\nIn Octave, processor time as a share of the time waited (cputime around each call):\n\n");
    grid (md, regexprep ({long.name}, "^octave: ", ""), [long.ms], cells_of ("%.1f%%", arrayfun (@(s) s.stats(9), long)));
  endif
  fecha_part (md, out);
  priority_part (md, out, series);
  hasta_part (md, out, fig);
  fclose (md);
  printf ("\n%s", fileread (fullfile (out, "summary.md")));
  curves (out, main);
  judge (fig, fullfile (root, "bench", "targets.txt"));
endfunction

## fecha's calls: incierto, and the system clock read after the call less utc.
function fecha_part (md, out)
  c = read_csv (fullfile (out, "fecha_samples.csv"));
  if (! isfield (c, "label"))
    return;
  endif
  csv = fopen (fullfile (out, "fecha.csv"), "w");
  fprintf (csv, ["label,calls,incierto_p50_ns,incierto_p99_ns,incierto_max_ns,after_p50_us,after_min_us," ...
                 "after_max_us,error_sistema_ms,utc_minus_t_ms\n"]);
  fprintf (md, ["\nfecha: incierto (ns), and the system clock read right after the call less utc (us: C++'s\n" ...
                "system_clock natively and under Wine, Octave's time() in Octave):\n\n"]);
  [k, firsts] = groups (c.label);
  body = {};
  for i = 1:numel (firsts)
    inc = c.incierto_ns(k == i);
    after = c.after_us(k == i);
    f = {numel(inc), nearest_rank(inc, 0.5), nearest_rank(inc, 0.99), max(inc), nearest_rank(after, 0.5), ...
         min(after), max(after), c.error_sistema_ms(find (k == i, 1, "last"))};
    fprintf (csv, "%s,%d,%.1f,%.1f,%.1f,%.2f,%.2f,%.2f,%g,%.6f\n", c.label{firsts(i)}, f{:}, c.utc_minus_t_ms(firsts(i)));
    if (! strcmp (c.label{firsts(i)}, "linux-end"))
      forms = {"%d", "%.0f", "%.0f", "%.0f", "%.1f", "%.1f", "%.0f", "%g"};
      body(end + 1, :) = [c.label(firsts(i)), cellfun(@(x, form) sprintf (form, x), f, forms, "UniformOutput", false)];
    endif
  endfor
  fclose (csv);
  md_table (md, {"", "calls", "incierto p50", "p99", "worst", "after - utc p50", "least", "most", ...
                 "error_sistema, ms"}, body);
  ends = c.utc_minus_t_ms([find(strcmp (c.label, "linux"), 1), find(strcmp (c.label, "linux-end"), 1)]);
  if (numel (ends) == 2)
    fprintf (md, "\nutc - t natively, from the start of the run to its end: %+.3f us.\n", 1000 * diff (ends));
  endif
  d = read_csv (fullfile (out, "fecha_date.csv"));
  if (isfield (d, "date_minus_utc_before_ms"))
    [before, after] = deal (d.date_minus_utc_before_ms, d.utc_after_minus_date_ms);
    fprintf (md, ["\n`date +%%s%%N` between two calls of fecha in Octave: within their utc %d times of %d (the " ...
                  "calls %.1f to %.1f ms apart, most of it starting date).\n"], sum (before >= 0 & after >= 0), ...
             numel (before), min (before + after), max (before + after));
  endif
endfunction

## espera(10) and hasta(reloj()+10) at each level, idle and loaded, with the
## share of the blocks' time the host took the processors away (steal).
function priority_part (md, out, series)
  s = series(strcmp ({series.part}, "octave_priority"));
  b = read_csv (fullfile (out, "priority_blocks.csv"));
  if (isempty (s) || ! isfield (b, "steal_pct"))
    return;
  endif
  fprintf (md, ["\nIn Octave, 10 ms waits on the idle machine and beside %d busy processes (one per core), at\n" ...
                "priority level 0 and 1 (prioridad), in blocks of one level, alternating; lateness past the " ...
                "deadline, us:\n\n"], nproc ());
  body = {};
  for wait = ordered (regexprep ({s.name}, ".*: ", ""))
    for at = {"idle", 0; "idle", 1; "loaded", 0; "loaded", 1}'
      r = s(strcmp ({s.name}, sprintf ("%s level %d: %s", at{:}, wait{1})));
      in = strcmp (b.machine, at{1}) & b.level == at{2};
      if (! isempty (r))
        body(end + 1, :) = [wait, at{1}, sprintf("%d", at{2}), sprintf("%d", r.stats(1)), ...
                            arrayfun(@(x) us (x), r.stats([2 4 5 7]), "UniformOutput", false), ...
                            spread(b.steal_pct(in), b.wall_s(in))];
      endif
    endfor
  endfor
  md_table (md, {"", "machine", "level", "waits", "p50", "p95", "p99", "worst", "steal, % (blocks)"}, body);
  refused (md, fullfile (out, "priority_refused.txt"));
endfunction

## hasta next to the usual deadline wait: for each machine, level, duration
## and way, the processor time as a share of its blocks' time (over all, then
## the least and most of one block), and its own lateness and the script's.
function hasta_part (md, out, fig)
  b = read_csv (fullfile (out, "hasta_blocks.csv"));
  if (! isfield (b, "way"))
    return;
  endif
  fprintf (md, ["\nIn Octave, hasta next to the usual deadline wait (one sleep to 1 ms before the deadline, then a " ...
                "spin;\nat level 1 loaded also to 300 us before it), in blocks of one way each, order alternating; " ...
                "lateness\npast the deadline, us:\n\n"]);
  platform = strcat (b.machine, {" level "}, cellstr (num2str (b.level)));
  body = {};
  for p = ordered (platform)
    for d = unique (b.duration_ms)'
      for w = ordered (b.way)
        in = strcmp (platform, p{1}) & strcmp (b.way, w{1}) & b.duration_ms == d;
        if (any (in))
          fig(sprintf ("%s: %s, busy @ %g", p{1}, w{1}, d)) = 100 * sum (b.cpu_s(in)) / sum (b.wall_s(in));
          at = @(stat) us (fig(sprintf ("%s: %s %s @ %g", p{1}, w{1}, stat, d)), 2);
          body(end + 1, :) = [strsplit(p{1}, " level "), sprintf("%g", d), w, ...
                              spread(100 * b.cpu_s(in) ./ b.wall_s(in), b.wall_s(in)), ...
                              cellfun(at, {"own, p50", "own, p95", "own, p99", "by reloj(), p50", "by reloj(), p95", ...
                                           "by reloj(), p99", "by reloj(), worst"}, "UniformOutput", false)];
        endif
      endfor
    endfor
  endfor
  md_table (md, {"machine", "level", "ms", "wait", "busy, % (blocks)", "own p50", "p95", "p99", "by reloj() p50", ...
                 "p95", "p99", "worst"}, body);
  refused (md, fullfile (out, "hasta_refused.txt"));
endfunction

function refused (md, file)
  if (exist (file, "file"))
    fprintf (md, "\nNo waits at level 1: %s\n", strtrim (fileread (file)));
  endif
endfunction

## X over blocks of WEIGHTS: the mean weighted by them, then the least and most.
function t = spread (x, weights)
  t = sprintf ("%.1f (%.1f-%.1f)", sum (weights .* x) / sum (weights), min (x), max (x));
endfunction

## The plot's curves, a file for each duration: for every way of waiting, in
## one order so that each keeps its colour in every panel, the share of waits
## that ended at least so late, thinned where it is dense but whole in the
## tail; where one was not measured, a single undefined point.
function curves (out, main)
  names = ordered ({main.name});
  for d = unique ([main.ms])
    f = fopen (fullfile (out, sprintf ("curves_%g.dat", d)), "w");
    for i = 1:numel (names)
      fprintf (f, "%s%s\t\n", repmat ("\n\n", 1, i > 1), names{i});
      s = main([main.ms] == d & strcmp ({main.name}, names{i}));
      if (isempty (s))
        fprintf (f, "NaN\tNaN\n");
        continue;
      endif
      n = numel (s.late);
      next = 0;
      for j = find ([true, diff(s.late) != 0])
        if (n - j < 1000 || j > next)
          fprintf (f, "%.4f\t%.6g\n", max (s.late(j), 0.001), (n - j + 1) / n);
          next = j + floor (n / 1000);
        endif
      endfor
    endfor
    fclose (f);
  endfor
endfunction

## Each line of FILE judged against the figures of this run; FILE says how.
function judge (fig, file)
  printf ("\nTargets:\n");
  lines = regexp (fileread (file), '(?m)^[^#\n][^\n]*', "match");
  group = "";  # the sentence of the lines judged together, and whether one was met
  anyone = false;
  for l = lines
    f = strtrim (strsplit (l{1}, "|"));
    [ms, what, name, target, against, kind] = f{:};
    if (! isempty (group) && ! strcmp (kind, ["one of: " group]))
      printf ("  %s: %s\n", group, {"MISSED", "met"}{anyone + 1});
      [group, anyone] = deal ("", false);
    endif
    for at = strcat ({" @ "}, strsplit (ms))
      value = figure_of (fig, [name at{1}]);
      ref = figure_of (fig, [against at{1}]);
      [op, bound] = strtok (target);
      k = regexp (bound, '^\s*([\d.]+)\s*\*\s*ref$', "tokens", "once");
      plus = regexp (bound, '^\s*ref\s*\+\s*([\d.]+)$', "tokens", "once");
      text = sprintf ("%9s  %s %s", regexprep (at{1}, {' @ -$', ' @ (.*)'}, {'', '$1 ms'}), what, shown (value, name));
      if (! isempty (k))
        text = sprintf ("%s = %sx %s %s", text, ratio (value / ref), against, shown (ref, against));
      elseif (! isempty (plus))
        text = sprintf ("%s = %s %s %s", text, against, shown (ref, against), signed (value - ref, name));
        text = regexprep (text, ' = (.*) -$', ' ($1)');  # too few waits for either
      elseif (! strcmp (against, "-"))
        text = sprintf ("%s (%s %s)", text, against, shown (ref, against));
      endif
      if (strcmp (kind, "info"))
        printf ("%s\n", text);
        continue;
      endif
      limit = eval (bound);
      ok = any (strcmp (op, {"<=", "<", ">="}) & [value <= limit, value < limit, value >= limit]);
      several = strncmp (kind, "one of: ", 8);
      if (several)
        [group, anyone] = deal (kind(9:end), anyone || ok);
      endif
      verdict = {{"MISSED", "met"}, {"no", "yes"}}{several + 1}{ok + 1};
      if (isnan (value) || isnan (limit))
        verdict = "- (too few waits)";
      endif
      goal = shown (limit, name);
      if (! isempty (k))
        goal = [k{1} "x"];
      elseif (! isempty (plus))
        goal = signed (str2double (plus{1}), name);
      endif
      printf ("%s (%s %s %s): %s\n", text, strtok (kind, ":"), op, goal, verdict);
    endfor
  endfor
  if (! isempty (group))
    printf ("  %s: %s\n", group, {"MISSED", "met"}{anyone + 1});
  endif
endfunction

## The figure KEY, "NAME @ MS", or NAME where it has no duration; else NaN.
function v = figure_of (fig, key)
  key = {key, regexprep(key, ' @ .*', '')};
  v = [cell2mat(fig.values (key(isKey (fig, key)))), NaN](1);
endfunction

## A figure with the unit its name tells: a share of the time (cpu, busy), a
## ratio ("x ..."), else microseconds.
function t = shown (x, name)
  if (isnan (x))
    t = "-";
  elseif (regexp (name, ', (cpu|busy)$'))
    t = sprintf ("%.1f%%", x);
  elseif (regexp (name, ', x '))
    t = sprintf ("%.2fx", x);
  else
    t = [us(x) " us"];
  endif
endfunction

function t = signed (x, name)
  t = [repmat("+", 1, x >= 0) shown(x, name)];
endfunction

function t = ratio (x)
  t = sprintf ("%.*f", (abs (x) < 10) + (abs (x) < 100), x);
endfunction

## X microseconds as the tables write them: DIGITS decimals below 1 (default
## 3), one below 100, none from there; "-" where too few waits gave none.
function t = us (x, digits)
  if (nargin < 2)
    digits = 3;
  endif
  t = sprintf ("%.*f", [digits 1 0](1 + (abs (x) >= 1) + (abs (x) >= 100)), x);
  if (isnan (x))
    t = "-";
  endif
endfunction

## Each of KEYS numbered by its group, the groups in the order they first
## come; FIRSTS, where each first comes.
function [k, firsts] = groups (keys)
  [~, firsts, k] = unique (keys, "first");
  [firsts, order] = sort (firsts);
  rank(order) = 1:numel (order);
  k = rank(k)(:);
endfunction

function u = ordered (keys)
  [~, firsts] = groups (keys);
  u = keys(firsts)(:)';
endfunction

## A table of NAMES by durations MS (ms), each cell one of CELLS, "-" where none.
function grid (md, names, ms, cells)
  [k, firsts] = groups (names);
  ds = unique (ms);
  body = repmat ({"-"}, numel (firsts), numel (ds));
  for i = 1:numel (cells)
    body{k(i), ds == ms(i)} = cells{i};
  endfor
  md_table (md, [{""}, arrayfun(@(d) sprintf ("%g ms", d), ds(:)', "UniformOutput", false)], [names(firsts)(:), body]);
endfunction

function md_table (md, header, body)
  fprintf (md, "| %s |\n|%s\n", strjoin (header, " | "), ["---|", repmat("---:|", 1, numel (header) - 1)]);
  for i = 1:rows (body)
    fprintf (md, "| %s |\n", strjoin (body(i, :), " | "));
  endfor
endfunction

function c = cells_of (form, x)
  c = cellfun (@(v) sprintf (form, v), num2cell (x(:)), "UniformOutput", false);
  c(isnan (x(:))) = {"-"};
endfunction

function t = fileread_or (file)
  t = "";
  if (exist (file, "file"))
    t = fileread (file);
  endif
endfunction

## The columns of a CSV file by the names its header line gives them: numbers
## where every value of one is a number, else text; none where there is no file.
function c = read_csv (file)
  c = struct ();
  f = fopen (file);
  if (f >= 0)
    names = strsplit (fgetl (f), ",");
    text = textscan (f, repmat ("%s", 1, numel (names)), "Delimiter", ",", "Whitespace", "");
    fclose (f);
    for i = 1:numel (names)
      x = str2double (text{i});
      c.(names{i}) = {text{i}, x}{1 + all (! isnan (x) | strcmpi (text{i}, "NaN"))};
    endfor
  endif
endfunction

## Column NAME of C, or NaN for each row where C has none.
function x = column (c, name)
  x = NaN (size (c.wait));
  if (isfield (c, name))
    x = c.(name);
  endif
endfunction
