function r = sondeo(seconds, varargin)
% sondeo  How well this machine keeps time for a script: reloj, espera, hasta, pause, prioridad, fecha.
%
%   sondeo
%   r = sondeo()
%   r = sondeo(seconds)
%   r = sondeo(seconds, 'plot', false)
%   r = sondeo(seconds, 'file', 'sondeo.png')
%   sondeo(r)
%
%   Measures for about SECONDS seconds (default 10; from 1 to 3600) what a
%   script timing itself with reloj, espera and hasta gets on this machine,
%   next to tic, toc and pause, then prints a short table and a verdict:
%
%   - the clock: the counter every figure is read on;
%   - what a call of reloj(), tic and toc(id) costs, and the shortest
%     interval a script sees between two calls;
%   - how closely fecha reads the counter and the system clock together, and
%     what the system says of its clock;
%   - how late espera(d), hasta(reloj()+d) and pause(d/1000) end past their
%     deadline for d = 0.1, 1 and 10 ms: the median, the 99th percentile (not
%     below 100 waits: give sondeo more seconds) and the worst;
%   - whether this session may raise its priority with prioridad, and what
%     level 1 does for 10 ms waits (the level is given back as found);
%   - how often, and for how long, the machine takes the processor away.
%
%   How to read it: espera's median is about the cost of calling it; its
%   99th percentile and worst are what the machine adds. Where figures can be
%   shown it then draws the share of waits that ended at least so late.
%   Options, as name/value pairs:
%     'plot', false   show no figure
%     'file', F       draw the figure off screen into the PNG file F
%                     instead of showing it (also without a display)
%
%   sondeo(r), where r is what an earlier sondeo returned, measures nothing:
%   it prints r's table and verdict again and, as the same options say,
%   draws r's figure.
%
%   Returns a struct; times in microseconds unless the name says otherwise:
%     seconds        the time asked for; elapsed_s, the time measuring took
%     platform       'MATLAB R20..' or 'Octave ..'
%     clock          the counter measured, as 'CLOCK_MONOTONIC (Linux)'
%     durations_ms   [0.1 1 10], the d of the waits
%     reloj_cost_us, tic_cost_us, toc_cost_us   cost of one call (median)
%     reloj_min_interval_us, toc_min_interval_us   shortest interval seen
%                    between the readings of two successive calls
%     espera, hasta, pause   one struct each, for the waits of each d (1x3):
%                    waits (how many), median_us, p99_us (NaN below 100
%                    waits), worst_us, and late_us, a 1x3 cell of every
%                    wait's lateness in turn
%     gaps           struct: threshold_us, count, per_second, share_pct
%                    (of span_s, the time spent reading reloj), longest_us
%     fecha          struct: tries (how many), median_us and worst_us (of
%                    incierto), error_ms (fecha's error_sistema: Inf, not
%                    synchronised; NaN, not said)
%     priority       struct: level (what prioridad() read when sondeo began;
%                    NaN where prioridad did not run), allowed (whether level
%                    1 was), message (why not; '' where it was), and espera
%                    and hasta: the 10 ms waits at level 0 and 1 (1x2), as
%                    above ([] where level 1 was not allowed)
%     verdict        the verdict
%   Percentiles are of nearest rank: at least that share of the waits ended
%   at or before it.
%
%   Example:
%       r = sondeo(10, 'file', 'sondeo.png');
%       r.espera.p99_us      % for each d, 99% of espera(d) ended within this
%
%   How each part is measured, and how to read the verdict, is in
%   docs/reference.md, with the whole contract of these functions; it comes
%   with the release (in the Octave package's folder: doc/reference.md).
%
%   See also reloj, espera, hasta, prioridad, fecha.

  if nargin < 1
    seconds = 10;
  end
  run_given = isstruct(seconds);
  if run_given
    res = checked_run(seconds);
  else
    seconds = checked_seconds(seconds);
  end
  [show, file] = parse_options(varargin);
  in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  if ~isempty(file) && ~can_draw(in_octave, false)
    refuse('no graphics toolkit here can draw, so no figure can be written');
  end
  % Asked to show the figure, but there is nothing to show it on.
  no_screen = show && isempty(file) && ~can_draw(in_octave, true);

  if ~run_given
    res = measure(seconds, in_octave);
  end
  res.verdict = verdict(res);
  print_table(res);

  if ~isempty(file)
    draw(res, in_octave, file);
    fprintf('Figure written to %s\n', file);
  elseif no_screen
    if run_given
      again = 'r';
    else
      again = sprintf('%g', seconds);
    end
    fprintf('(No display to show the figure on: sondeo(%s, ''file'', ''sondeo.png'') writes it to a file.)\n', ...
            again);
  elseif show
    draw(res, in_octave, '');
  end
  if nargout > 0
    r = res;
  end
end

% The ways of waiting, in the order of the table, one row each: the field
% of the result that holds their figures, the call as the table writes it
% for a wait of d ms (format, and what d is divided by), and the figure's
% line. waits_and_gaps times each, in this order, between two readings.
function w = ways()
  w = {
    'espera', 'espera(%g)',        1,    '-'
    'hasta',  'hasta(reloj()+%g)', 1,    ':'
    'pause',  'pause(%g)',         1000, '--'
  };
end

function text = way_call(w, i, d_ms)
  text = sprintf(w{i, 2}, d_ms / w{i, 3});
end

function res = measure(seconds, in_octave)
  res.seconds = seconds;
  if in_octave
    res.platform = ['Octave ' OCTAVE_VERSION];
  else
    res.platform = ['MATLAB R' version('-release')];
  end
  res.clock = counter_name();
  res.durations_ms = [0.1 1 10];

  % The first calls load the extensions and the interpreter's code: not
  % what a script pays in its loop.
  reloj();
  espera(0);
  hasta(0);
  pause(0);
  id = tic;
  x = toc(id);

  res.fecha = clock_pairs(100);

  % Whether the priority may be raised; the level is given back as found
  % when this function ends, however it ends. (Octave puts the function's
  % name before a compiled function's message.)
  res.priority = struct('level', NaN, 'allowed', false, 'message', '', 'espera', [], 'hasta', []);
  try
    res.priority.level = prioridad();
  catch err
    res.priority.message = regexprep(err.message, '^prioridad: ', '');
  end
  if ~isnan(res.priority.level)
    found = res.priority.level;
    give_back = onCleanup(@() prioridad(found));
    try
      prioridad(1);
      res.priority.allowed = true;
    catch err
      res.priority.message = regexprep(err.message, '^prioridad: ', '');
    end
    prioridad(found);
  end

  % A tenth of the time for the cost of calls; then rounds of waits, with
  % reloj() read back to back for a quarter of the time that follows; where
  % the priority may be raised, the last fifth for blocks at each level.
  start_ms = reloj();
  budget_ms = 1000 * seconds;
  waits_end_ms = start_ms + budget_ms;
  if res.priority.allowed
    waits_end_ms = start_ms + 0.8 * budget_ms;
  end
  [res.reloj_cost_us, res.tic_cost_us, res.toc_cost_us, res.toc_min_interval_us] = ...
      call_costs(start_ms + 0.1 * budget_ms);
  [late_us, res.gaps, res.reloj_min_interval_us] = ...
      waits_and_gaps(res.durations_ms, [10 3 1], 0.25, waits_end_ms);
  if res.priority.allowed
    [res.priority.espera, res.priority.hasta] = priority_blocks(start_ms + budget_ms);
    prioridad(found);
  end
  res.elapsed_s = (reloj() - start_ms) / 1000;
  w = ways();
  for i = 1:size(w, 1)
    res.(w{i, 1}) = summary(late_us{i});
  end
end

% The counter reloj reads on this system (macOS answers isunix too).
function name = counter_name()
  if ispc()
    name = 'QueryPerformanceCounter (Windows)';
  elseif ismac()
    name = 'CLOCK_UPTIME_RAW (macOS)';
  else
    name = 'CLOCK_MONOTONIC (Linux)';
  end
end

% N calls of fecha: the median and worst of their incierto, and what the last
% said of the system clock.
function f = clock_pairs(n)
  incierto_ms = zeros(1, n);
  for i = 1:n
    [~, ~, incierto_ms(i), error_ms] = fecha();
  end
  f = struct('tries', n, 'median_us', 1000 * nearest_rank(incierto_ms, 0.5), 'worst_us', 1000 * max(incierto_ms), ...
             'error_ms', error_ms);
end

% Turns of espera(10) and hasta(reloj()+10), timed as the other waits are,
% in blocks at priority level 0 and 1 in turn until STOP_MS: at least one
% pair of blocks, each of a quarter of a second where there is time for it.
% Summaries of the waits at each level, as summary gives them.
function [espera_s, hasta_s] = priority_blocks(stop_ms)
  d_ms = 10;
  pairs = max(1, floor((stop_ms - reloj()) / 500));
  block_ms = (stop_ms - reloj()) / (2 * pairs);
  % A turn takes 2 d_ms at least, and each block starts one more.
  late_ms = zeros(2, 2, ceil(pairs * (block_ms / (2 * d_ms) + 1)));  % way, level, wait
  n = [0 0];
  for pair = 1:pairs
    for level = [0 1]
      prioridad(level);
      block_end_ms = reloj() + block_ms;
      while true
        n(level + 1) = n(level + 1) + 1;
        t0_ms = reloj();
        espera(d_ms);
        late_ms(1, level + 1, n(level + 1)) = reloj() - t0_ms - d_ms;
        t0_ms = reloj();
        hasta(t0_ms + d_ms);
        late_ms(2, level + 1, n(level + 1)) = reloj() - t0_ms - d_ms;
        if reloj() >= block_end_ms
          break;
        end
      end
    end
  end
  late_us = @(way) {1000 * reshape(late_ms(way, 1, 1:n(1)), 1, []), 1000 * reshape(late_ms(way, 2, 1:n(2)), 1, [])};
  espera_s = summary(late_us(1));
  hasta_s = summary(late_us(2));
end

function seconds = checked_seconds(seconds)
  if ~isnumeric(seconds) || ~isscalar(seconds) || ~isreal(seconds) || ~(seconds >= 1 && seconds <= 3600)
    refuse('the time to take must be a real number of seconds from 1 to 3600');
  end
  seconds = double(seconds);
end

% A run handed back to be shown again must hold every figure sondeo returns
% (its verdict is made afresh from them). One from release 1.2.0, before
% prioridad, has no priority part, one from before fecha no part for the
% system clock, and one from 1.4.0 or before no line naming its counter:
% each is shown without it.
function res = checked_run(res)
  w = ways();
  fields = [{'seconds', 'platform', 'durations_ms', 'reloj_cost_us', 'tic_cost_us', 'toc_cost_us', ...
             'toc_min_interval_us', 'reloj_min_interval_us', 'elapsed_s', 'gaps'}, w(:, 1)'];
  ok = isscalar(res) && all(isfield(res, fields));
  waits = {'waits', 'median_us', 'p99_us', 'worst_us', 'late_us'};
  for i = 1:size(w, 1)
    ok = ok && isstruct(res.(w{i, 1})) && all(isfield(res.(w{i, 1}), waits));
  end
  if ok && isfield(res, 'priority')
    p = res.priority;
    ok = isstruct(p) && isscalar(p) && all(isfield(p, {'level', 'allowed', 'message', 'espera', 'hasta'})) ...
         && ischar(p.message);
    ok = ok && (~p.allowed || (isstruct(p.espera) && all(isfield(p.espera, waits)) ...
                               && isstruct(p.hasta) && all(isfield(p.hasta, waits))));
  end
  if ok && isfield(res, 'clock')
    ok = ischar(res.clock) && size(res.clock, 1) == 1;
  end
  if ok && isfield(res, 'fecha')
    f = res.fecha;
    ok = isstruct(f) && isscalar(f) && all(isfield(f, {'tries', 'median_us', 'worst_us', 'error_ms'}));
  end
  if ~ok
    refuse('a struct to show again must be one that sondeo returned');
  end
end

function [show, file] = parse_options(options)
  show = true;
  file = '';
  if mod(numel(options), 2) ~= 0
    refuse('options come in pairs: a name (''plot'' or ''file''), then its value');
  end
  for i = 1:2:numel(options)
    name = options{i};
    value = options{i + 1};
    if isstring(name) && isscalar(name)
      name = char(name);
    end
    if ~ischar(name)
      refuse('an option name must be ''plot'' or ''file''');
    end
    switch lower(name)
      case 'plot'
        if ~((islogical(value) || isnumeric(value)) && isscalar(value) && isreal(value) ...
             && (value == 0 || value == 1))
          refuse('''plot'' takes true or false');
        end
        show = logical(value);
      case 'file'
        if isstring(value) && isscalar(value)
          value = char(value);
        end
        if ~ischar(value) || isempty(value) || size(value, 1) ~= 1
          refuse('''file'' takes the name of a PNG file to write');
        end
        folder = fileparts(value);
        if ~isempty(folder) && exist(folder, 'dir') ~= 7
          refuse(sprintf('there is no folder %s to write the figure in', folder));
        end
        file = value;
      otherwise
        refuse(sprintf('unknown option ''%s'': the options are ''plot'' and ''file''', name));
    end
  end
end

function refuse(text)
  error('sondeo:badArgument', 'sondeo: %s.', text);
end

% Whether a figure can be drawn: on screen (SCREEN true) or into a file.
% Without a display Octave still draws into files with gnuplot.
function ok = can_draw(in_octave, screen)
  if ~in_octave
    ok = has_display() || ~screen;
    return;
  end
  toolkits = available_graphics_toolkits();
  if screen || has_display()
    ok = has_display() && ~isempty(toolkits);
  else
    ok = any(strcmp(toolkits, 'gnuplot'));
  end
end

% MATLAB and Octave both report a screen of 1 by 1 pixels when there is no
% display.
function yes = has_display()
  size_px = get(0, 'ScreenSize');
  yes = size_px(3) > 1;
end

% The cost of a call: batches of M calls, each timed with reloj, less a batch
% of empty turns of the loop; medians over all batches. The shortest interval
% between toc readings is taken from readings stored back to back.
function [reloj_us, tic_us, toc_us, toc_interval_us] = call_costs(stop_ms)
  m = 100;
  id = tic;
  readings_s = zeros(1, m);
  toc_interval_us = Inf;
  batches_ms = zeros(64, 4);  % per batch: empty, reloj, tic, toc
  n = 0;
  while true
    n = n + 1;
    batches_ms = make_room(batches_ms, n);
    t_ms = reloj();
    for i = 1:m
    end
    batches_ms(n, 1) = reloj() - t_ms;
    t_ms = reloj();
    for i = 1:m
      x = reloj();
    end
    batches_ms(n, 2) = reloj() - t_ms;
    t_ms = reloj();
    for i = 1:m
      x = tic;
    end
    batches_ms(n, 3) = reloj() - t_ms;
    t_ms = reloj();
    for i = 1:m
      x = toc(id);
    end
    batches_ms(n, 4) = reloj() - t_ms;
    for i = 1:m
      readings_s(i) = toc(id);
    end
    toc_interval_us = min(toc_interval_us, 1e6 * shortest_interval(readings_s));
    if reloj() >= stop_ms
      break;
    end
  end
  per_call_us = (median(batches_ms(1:n, 2:4), 1) - median(batches_ms(1:n, 1))) * 1000 / m;
  reloj_us = per_call_us(1);
  tic_us = per_call_us(2);
  toc_us = per_call_us(3);
end

% Lateness of espera(d), hasta(reloj()+d) and pause(d/1000), in microseconds: LATE_US{w}{k}
% holds every wait of way w (the order of ways()) at DURATIONS_MS(k). And the
% gaps in reading reloj(). Each round takes COUNTS(k) waits of
% DURATIONS_MS(k) for every k, the ways taking turns; after it, reloj() is
% read back to back until that reading has taken SHARE of the time since the
% first round. Spread so, the gaps are sampled over the same moments as the
% waits, and for the same share of every run, whatever its length. Each way
% is called by name between two readings, so that nothing else is timed
% with it.
function [late_us, g, interval_us] = waits_and_gaps(durations_ms, counts, share, stop_ms)
  k_all = 1:numel(durations_ms);
  w_all = 1:size(ways(), 1);
  late_ms = cell(numel(w_all), numel(k_all));
  for k = k_all
    late_ms(:, k) = {zeros(counts(k), 16)};  % one column per round
  end
  block_ms = zeros(1, 2000);
  tally = struct('threshold_us', [], 'count', 0, 'away_ms', 0, 'longest_ms', 0, 'span_ms', 0, 'interval_ms', Inf);
  first_ms = reloj();
  tally = read_gaps(tally, block_ms);
  rounds = 0;
  while true
    rounds = rounds + 1;
    for k = k_all
      d_ms = durations_ms(k);
      d_s = d_ms / 1000;
      if rounds > size(late_ms{1, k}, 2)
        for w = w_all
          late_ms{w, k}(1, 2 * rounds) = 0;
        end
      end
      for i = 1:counts(k)
        t0_ms = reloj();
        espera(d_ms);
        late_ms{1, k}(i, rounds) = reloj() - t0_ms - d_ms;
        t0_ms = reloj();
        hasta(t0_ms + d_ms);
        late_ms{2, k}(i, rounds) = reloj() - t0_ms - d_ms;
        t0_ms = reloj();
        pause(d_s);
        late_ms{3, k}(i, rounds) = reloj() - t0_ms - d_ms;
      end
    end
    while tally.span_ms < share * (reloj() - first_ms)
      tally = read_gaps(tally, block_ms);
    end
    if reloj() >= stop_ms
      break;
    end
  end
  late_us = cell(1, numel(w_all));
  for w = w_all
    late_us{w} = cellfun(@(x) 1000 * reshape(x(:, 1:rounds), 1, []), late_ms(w, :), 'UniformOutput', false);
  end
  interval_us = 1000 * tally.interval_ms;
  g = struct('threshold_us', tally.threshold_us, 'count', tally.count, ...
             'per_second', tally.count / (tally.span_ms / 1000), 'share_pct', 100 * tally.away_ms / tally.span_ms, ...
             'longest_us', 1000 * tally.longest_ms, 'span_s', tally.span_ms / 1000);
end

% One block of reloj() read back to back, added to TALLY. A step over the
% threshold is time in which the script did not run. The first block sets
% the threshold: ten times its usual step, at least 10 us, rounded down to
% 1, 2 or 5 times a power of ten, so that small changes in the
% interpreter's speed from run to run do not move it.
function tally = read_gaps(tally, block_ms)
  for i = 1:numel(block_ms)
    block_ms(i) = reloj();
  end
  steps_ms = diff(block_ms);
  if isempty(tally.threshold_us)
    tally.threshold_us = round_down_125(max(10, 10000 * median(steps_ms)));
  end
  long_ms = steps_ms(steps_ms > tally.threshold_us / 1000);
  tally.span_ms = tally.span_ms + block_ms(end) - block_ms(1);
  tally.count = tally.count + numel(long_ms);
  tally.away_ms = tally.away_ms + sum(long_ms);
  tally.longest_ms = max([tally.longest_ms long_ms]);
  tally.interval_ms = min(tally.interval_ms, shortest_interval(block_ms));
end

% X rounded down to 1, 2 or 5 times a power of ten.
function y = round_down_125(x)
  decade = 10 ^ floor(log10(x));
  steps = [1 2 5 10] * decade;
  y = steps(find(steps <= x * (1 + 1e-12), 1, 'last'));
end

% Doubles the rows of X when row N does not fit.
function x = make_room(x, n)
  if n > size(x, 1)
    x(2 * n, 1) = 0;
  end
end

function s = shortest_interval(readings)
  steps = diff(readings);
  s = min(steps(steps > 0));
  if isempty(s)
    s = Inf;
  end
end

function s = summary(late_us)
  s.waits = cellfun(@numel, late_us);
  s.median_us = cellfun(@(x) nearest_rank(x, 0.5), late_us);
  s.p99_us = cellfun(@(x) nearest_rank(x, 0.99), late_us);
  s.worst_us = cellfun(@max, late_us);
  s.late_us = late_us;
end

% The smallest value with at least share P of all values at or below it. A
% share of the tail that would leave no value above it (the 99th percentile of
% fewer than 100) would only repeat the worst: NaN. make bench reads this very
% definition from this file (bench/summarise.m), so that its figures and
% sondeo's are reckoned alike.
function v = nearest_rank(values, p)
  sorted = sort(values);
  n = numel(sorted);
  if p > 0.5 && n * (1 - p) < 1 - 1e-9
    v = NaN;
  else
    v = sorted(max(1, ceil(p * n)));
  end
end

% The answer to "how late will my steps of d ms end?", for each d with
% enough waits for a 99th percentile, then what the gaps do to it.
function text = verdict(res)
  w = ways();
  clauses = {};
  for k = find(res.(w{1, 1}).waits >= 100)
    d_ms = res.durations_ms(k);
    within = cell(1, size(w, 1));
    for i = 1:size(w, 1)
      within{i} = sprintf('%s within %s us', way_call(w, i, d_ms), us_text(res.(w{i, 1}).p99_us(k)));
    end
    if isempty(clauses)
      within{1} = sprintf('99%% of %s end within %s us of their deadline here', way_call(w, 1, d_ms), ...
                          us_text(res.(w{1, 1}).p99_us(k)));
    end
    clauses{end + 1} = sprintf('for %g ms steps, %s', d_ms, strjoin(within, ', '));
  end
  if isempty(clauses)
    text = 'too few waits for a 99th percentile (it takes 100 of one duration): give sondeo more seconds';
  else
    text = strjoin(clauses, '; ');
  end
  g = res.gaps;
  if g.count == 0
    away = sprintf('The processor never left the script for more than %s us.', us_text(g.threshold_us));
  elseif g.share_pct >= 1
    away = sprintf(['Something takes the processor away %.0f times a second (%.1f%% of the time, ' ...
                    'up to %s us): that sets the tail of every wait here.'], ...
                   g.per_second, g.share_pct, us_text(g.longest_us));
  else
    away = sprintf(['The processor was away %.1f times a second (%.2f%% of the time), up to %s us: ' ...
                    'now and then a wait ends that late.'], g.per_second, g.share_pct, us_text(g.longest_us));
  end
  text = [text '. ' away];
  if isfield(res, 'fecha')
    text = [text ' ' clock_verdict(res.fecha)];
  end
  if isfield(res, 'priority')
    text = [text ' ' priority_verdict(res.priority)];
  end
end

% Whether level 1 is allowed, and if so how the 10 ms waits fared at each
% level; if not, why not, in prioridad's words (which say how to allow it).
function text = priority_verdict(p)
  if p.allowed
    text = sprintf(['At priority level 1 (prioridad(1)), allowed here, every espera(10) ended within %s us ' ...
                    'of its deadline and every hasta(reloj()+10) within %s us; at level 0, in the blocks ' ...
                    'between, within %s and %s us.'], us_text(p.espera.worst_us(2)), ...
                   us_text(p.hasta.worst_us(2)), us_text(p.espera.worst_us(1)), us_text(p.hasta.worst_us(1)));
  elseif isnan(p.level)
    text = sprintf('prioridad did not run here: %s', sentence(p.message));
  else
    text = sprintf('Priority level 1 (prioridad(1)) is refused here: %s', sentence(p.message));
  end
end

% How closely fecha pairs the counter with the system clock, and what the
% system says of its clock.
function text = clock_verdict(f)
  text = sprintf('fecha reads the counter and the system clock within %s us of each other (the worst of %d tries)', ...
                 fine_us_text(f.worst_us), f.tries);
  if isnan(f.error_ms)
    text = [text '; this system does not say whether its clock is synchronised to a time source.'];
  elseif isinf(f.error_ms)
    text = [text '; the system says its clock is not synchronised to a time source, so utc may be any ' ...
            'distance from the world''s time.'];
  else
    text = sprintf('%s; the system says its clock is synchronised to a time source, within an estimated %s ms.', ...
                   text, ms_text(f.error_ms));
  end
end

% TEXT on one line, ending in a full stop.
function text = sentence(text)
  text = strtrim(regexprep(text, '\s+', ' '));
  if isempty(text) || text(end) ~= '.'
    text = [text '.'];
  end
end

function t = ms_text(x)
  t = sprintf('%.3g', x);
end

% As us_text, with nanoseconds below a microsecond: a pair read natively is
% tens of them apart.
function t = fine_us_text(x)
  if abs(x) < 1
    t = sprintf('%.3f', x);
  else
    t = us_text(x);
  end
end

function t = us_text(x)
  if isnan(x)
    t = '-';
  elseif abs(x) < 10
    t = sprintf('%.1f', x);
  else
    t = sprintf('%.0f', x);
  end
end

% The table and the verdict, from the figures in RES alone.
function print_table(res)
  fprintf('sondeo: %.1f s on %s\n', res.elapsed_s, res.platform);
  if isfield(res, 'clock')
    fprintf('  clock: %s, which reloj, espera, hasta and fecha read\n', res.clock);
  end
  fprintf('\n');
  calls = {
    % call      its cost         the shortest interval between two ('' for none)
    'reloj()',  'reloj_cost_us', 'reloj_min_interval_us'
    'tic',      'tic_cost_us',   ''
    'toc(id)',  'toc_cost_us',   'toc_min_interval_us'
  };
  fprintf('  call          cost, us   shortest interval between calls, us\n');
  for i = 1:size(calls, 1)
    interval = '-';
    if ~isempty(calls{i, 3})
      interval = us_text(res.(calls{i, 3}));
    end
    fprintf('  %-12s%10s %37s\n', calls{i, 1}, us_text(res.(calls{i, 2})), interval);
  end
  if isfield(res, 'fecha')
    print_clock(res.fecha);
  end
  fprintf('\n  lateness past the deadline, us     waits    median       p99     worst\n');
  w = ways();
  for k = 1:numel(res.durations_ms)
    for i = 1:size(w, 1)
      print_row(way_call(w, i, res.durations_ms(k)), res.(w{i, 1}), k);
    end
  end
  if isfield(res, 'priority')
    print_priority(res.priority);
  end
  g = res.gaps;
  fprintf(['\n  processor away (steps over %s us between back-to-back reloj() readings):\n' ...
           '  %d times in %.2f s, %.1f a second, %.2f%% of the time, longest %s us\n\n'], ...
          us_text(g.threshold_us), g.count, g.span_s, g.per_second, g.share_pct, us_text(g.longest_us));
  print_wrapped('Verdict: ', res.verdict, 100);
end

% TEXT after PREFIX, broken between words into lines of at most WIDTH
% characters (a longer word stands alone), each indented like the first.
function print_wrapped(prefix, text, width)
  words = strsplit(text, ' ');
  line = [prefix words{1}];
  for i = 2:numel(words)
    if numel(line) + 1 + numel(words{i}) > width
      fprintf('%s\n', line);
      line = [blanks(numel(prefix)) words{i}];
    else
      line = [line ' ' words{i}];
    end
  end
  fprintf('%s\n', line);
end

% The system clock's part of the table: how closely fecha read it with the
% counter, and what the system says of it.
function print_clock(f)
  fprintf('\n  system clock read with the counter (fecha), %d tries: within %s us (median), %s us (worst)\n', ...
          f.tries, fine_us_text(f.median_us), fine_us_text(f.worst_us));
  if isnan(f.error_ms)
    fprintf('  the system does not say whether it is synchronised to a time source\n');
  elseif isinf(f.error_ms)
    fprintf('  the system says it is not synchronised to a time source\n');
  else
    fprintf('  the system says it is synchronised to a time source, estimated error %s ms\n', ms_text(f.error_ms));
  end
end

% The priority part of the table: the waits at each level, where level 1
% was allowed; else a line that says why there are none (the verdict says
% more).
function print_priority(p)
  if p.level == 1
    fprintf('\n  every wait above at priority level 1, as sondeo found this session\n');
  end
  if p.allowed
    fprintf('\n  priority level 1 (prioridad) allowed: 10 ms waits in blocks at each level in turn\n');
    for way = {'espera', 'espera(10)'; 'hasta', 'hasta(reloj()+10)'}'
      for level = [0 1]
        print_row(sprintf('%s at level %d', way{2}, level), p.(way{1}), level + 1);
      end
    end
  elseif isnan(p.level)
    fprintf('\n  priority: not tried, prioridad did not run here\n');
  else
    fprintf('\n  priority level 1 (prioridad) refused here: no waits at level 1\n');
  end
end

function print_row(name, s, k)
  fprintf('  %-32s %8d %9s %9s %9s\n', name, s.waits(k), us_text(s.median_us(k)), ...
          us_text(s.p99_us(k)), us_text(s.worst_us(k)));
end

% The share of waits at least so late against lateness, log-log: one colour
% per duration, espera solid, hasta dotted and pause dashed. Into FILE if one is given,
% else on screen. A figure drawn for a file is closed, also on an error.
function draw(res, in_octave, file)
  if in_octave
    % Octave advises against gnuplot, which is what draws without a display,
    % and notes Ghostscript missing, which pngcairo does not need.
    warning('off', 'Octave:gnuplot-graphics', 'local');
    warning('off', 'print:nogs', 'local');
  end
  if isempty(file)
    fig = figure();
  else
    fig = figure('Visible', 'off');
  end
  try
    device = '-dpng';
    if in_octave && ~isempty(file)
      % Without a display only gnuplot draws, and it writes PNG itself
      % (pngcairo) rather than through Ghostscript.
      if ~has_display() && ~strcmp(graphics_toolkit(), 'gnuplot')
        graphics_toolkit(fig, 'gnuplot');
      end
      if strcmp(get(fig, '__graphics_toolkit__'), 'gnuplot')
        device = '-dpngcairo';
      end
    end
    plot_lateness(res, axes('Parent', fig));
    if ~isempty(file)
      set(fig, 'PaperUnits', 'inches', 'PaperPosition', [0 0 9 6]);
      print(fig, device, '-r96', file);
    end
  catch err
    close(fig);
    rethrow(err);
  end
  if ~isempty(file)
    close(fig);
  end
end

function plot_lateness(res, ax)
  colours = [0 0.45 0.74; 0.85 0.33 0.1; 0.47 0.67 0.19];
  floor_us = 0.1;  % a log axis has no room for 0: earlier ends are drawn here
  hold(ax, 'on');
  labels = {};
  w = ways();
  for k = 1:numel(res.durations_ms)
    for i = 1:size(w, 1)
      % At each lateness the share steps down to that of the later waits.
      late_us = max(sort(res.(w{i, 1}).late_us{k}), floor_us);
      n = numel(late_us);
      stairs(ax, [late_us(1) late_us], [n:-1:1 1] / n, w{i, 4}, 'Color', colours(k, :), 'LineWidth', 1.5);
      labels{end + 1} = way_call(w, i, res.durations_ms(k));
    end
  end
  hold(ax, 'off');
  set(ax, 'XScale', 'log', 'YScale', 'log');
  grid(ax, 'on');
  xlabel(ax, 'lateness past the deadline, microseconds');
  ylabel(ax, 'share of waits at least this late');
  title(ax, sprintf('How late waits end: sondeo(%g), %s, %s', res.seconds, res.platform, ...
                    datestr(now, 'yyyy-mm-dd HH:MM')));
  legend(ax, labels, 'Location', 'southwest');
end
