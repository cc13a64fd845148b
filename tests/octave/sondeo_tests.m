% Tests of sondeo inside Octave, for the test function: run_extension_tests
% puts the folder under test on the path first. They run without a display,
% so sondeo can draw only into a file, through gnuplot. Its figures depend on
% the machine: only what holds on any machine is checked.

%!shared r, out, png, took, r1, out1
%! png = [tempname() '.png'];
%! tic ();
%! out = evalc ('r = sondeo (2, ''file'', png);');
%! took = toc ();
%! out1 = evalc ('r1 = sondeo (1, ''Plot'', false);');

%% The one beside the extensions under test.
%!assert (fileparts (which ('sondeo')), fileparts (which ('reloj')))

%!test
%! fields = {'seconds'; 'elapsed_s'; 'platform'; 'durations_ms'; 'reloj_cost_us'; 'tic_cost_us';
%!           'toc_cost_us'; 'reloj_min_interval_us'; 'toc_min_interval_us'; 'espera'; 'pause'; 'gaps'; 'verdict'};
%! assert (sort (fieldnames (r)), sort (fields));
%! assert (r.seconds, 2);
%! assert (r.durations_ms, [0.1 1 10]);
%! for f = {'reloj_cost_us', 'tic_cost_us', 'toc_cost_us', 'reloj_min_interval_us', 'toc_min_interval_us'}
%!   x = r.(f{1});
%!   assert (isscalar (x) && isfinite (x) && x > 0, '%s = %g', f{1}, x);
%! end

%% Lateness: every wait kept, nearest-rank percentiles of those waits; no
%% 99th percentile from fewer than 100 waits, where it would be the worst.
%% At 1 s the 10 ms waits are that few, at 2 s the 0.1 ms ones are not.
%!test
%! for run = {r, r1}
%!   for way = {'espera', 'pause'}
%!     s = run{1}.(way{1});
%!     assert (sort (fieldnames (s)), sort ({'waits'; 'median_us'; 'p99_us'; 'worst_us'; 'late_us'}));
%!     assert (cellfun (@numel, s.late_us), s.waits);
%!     assert (all (s.waits >= 1));
%!     for k = 1:3
%!       x = s.late_us{k};
%!       n = numel (x);
%!       what = sprintf ('%s(%g) of sondeo(%g)', way{1}, r.durations_ms(k), run{1}.seconds);
%!       assert (all (x > 0), '%s ended before its deadline', what);
%!       quantiles = {0.5, s.median_us(k); 1, s.worst_us(k)};
%!       if n < 100
%!         assert (isnan (s.p99_us(k)), '%s: a p99 from %d waits', what, n);
%!       else
%!         quantiles(end + 1, :) = {0.99, s.p99_us(k)};
%!       end
%!       for q = quantiles'
%!         assert (sum (x <= q{2}) >= q{1} * n && sum (x < q{2}) < q{1} * n,
%!                 '%s: %g is not the %g quantile', what, q{2}, q{1});
%!       end
%!     end
%!   end
%!   % They take turns, and the shorter the wait, the more of them.
%!   assert (run{1}.espera.waits, run{1}.pause.waits);
%!   assert (all (diff (run{1}.espera.waits) < 0), 'waits: %s', mat2str (run{1}.espera.waits));
%! end
%! assert (isnan (r1.espera.p99_us(3)) && ! isnan (r.espera.p99_us(1)));
%! % Only at 0.1 ms: on a busy machine the scheduler takes the processor from
%! % a long spin more readily than from a sleeper, and 10 ms waits are few.
%! assert (r.espera.median_us(1) < r.pause.median_us(1));

%% The table shows "-" for a 99th percentile not taken; the verdict names
%% each duration that has one, with the figures of the table, and no other.
%!test
%! for run = {r, out; r1, out1}'
%!   [res, text] = run{:};
%!   v = res.verdict;
%!   for k = 1:3
%!     d = res.durations_ms(k);
%!     rows = {sprintf('espera(%g)', d), res.espera; sprintf('pause(%g)', d / 1000), res.pause};
%!     for w = 1:2
%!       cells = regexp (text, [regexptranslate('escape', rows{w, 1}) ' +(\d+) +(\S+) +(\S+) +(\S+)'], 'tokens', 'once');
%!       assert (numel (cells) == 4, 'no row %s', rows{w, 1});
%!       assert (str2double (cells{1}), rows{w, 2}.waits(k));
%!       assert (strcmp (cells{3}, '-') == isnan (rows{w, 2}.p99_us(k)), 'row %s: p99 %s', rows{w, 1}, cells{3});
%!       said = regexp (v, [regexptranslate('escape', rows{w, 1}) ' (end )?within (\S+) us'], 'tokens', 'once');
%!       if isnan (rows{w, 2}.p99_us(k))
%!         assert (isempty (said) && isempty (strfind (v, sprintf ('for %g ms', d))), 'verdict: %s', v);
%!       else
%!         assert (! isempty (said), 'verdict has no %s: %s', rows{w, 1}, v);
%!         assert (str2double (said{end}), rows{w, 2}.p99_us(k), -0.05);
%!       end
%!     end
%!   end
%! end

%% The gaps: reloj() read for a quarter of the time after the costs of calls,
%% over a threshold on the 1-2-5 scale, so that it stays put from run to run.
%!test
%! g = r.gaps;
%! assert (g.threshold_us >= 10);
%! assert (any (abs (g.threshold_us ./ (10 .^ floor (log10 (g.threshold_us)) * [1 2 5]) - 1) < 1e-9));
%! assert (g.span_s > 0.2 * r.elapsed_s && g.span_s < r.elapsed_s, 'read for %g of %g s', g.span_s, r.elapsed_s);
%! assert (g.count >= 0 && g.count == fix (g.count));
%! assert (g.per_second, g.count / g.span_s, 1e-9);
%! if g.count == 0
%!   assert ([g.share_pct g.longest_us], [0 0]);
%! else
%!   assert (g.longest_us > g.threshold_us);
%!   % The gaps' total lies between count times the threshold and count times the longest.
%!   total_us = g.share_pct / 100 * g.span_s * 1e6;
%!   assert (g.count * g.threshold_us <= total_us && total_us <= g.count * g.longest_us * (1 + 1e-9));
%! end

%% The time budget: the parts end on deadlines, so never less; the margin
%% for more is wide, for a loaded machine, and wider for the figure.
%!test
%! assert (r.elapsed_s >= 2 && r.elapsed_s < 2 * 2, 'measuring took %g s', r.elapsed_s);
%! assert (took >= r.elapsed_s && took < r.elapsed_s + 30, 'the call took %g s', took);

%% The verdict is printed whole, broken into lines of at most 100 characters.
%!test
%! for line = {'reloj()', 'tic', 'toc(id)', 'shortest interval between calls', 'processor away', ...
%!             ['written to ' png]}
%!   assert (! isempty (strfind (out, line{1})), 'printed: [%s]', line{1});
%! end
%! assert (! isempty (strfind (regexprep (out, '\s+', ' '), ['Verdict: ' r.verdict])), 'verdict: [%s]', r.verdict);
%! assert (max (cellfun (@numel, strsplit (out, "\n"))) <= 100);

%% The figure went to the file, a PNG, and no figure is left open.
%!test
%! f = fopen (png, 'r');
%! assert (f >= 0, 'no %s', png);
%! signature = fread (f, 8)';
%! fclose (f);
%! delete (png);
%! assert (signature, [137 80 78 71 13 10 26 10]);
%! assert (isempty (get (0, 'children')));

%% Without a display nothing is drawn; unless the figure was declined, a note
%% says so. No output asked, no struct printed.
%!test
%! out = evalc ('sondeo (1)');
%! assert (! isempty (strfind (out, 'No display')));
%! assert (isempty (strfind (out, 'ans =')));
%! assert (isempty (strfind (out1, 'No display')));
%! assert (isempty (get (0, 'children')));

%% Bad arguments are refused with a message that names the fault, before
%% anything is measured (each accepted call would take a second at least).
%!test
%! time_msg = 'seconds from 1 to 3600';
%! plot_msg = '''plot'' takes true or false';
%! file_msg = '''file'' takes the name of a PNG file';
%! cases = {
%!   % arguments                               part of the message
%!   {'10'},                                    time_msg
%!   {NaN},                                     time_msg
%!   {Inf},                                     time_msg
%!   {0.5},                                     time_msg
%!   {-1},                                      time_msg
%!   {3601},                                    time_msg
%!   {int8(0)},                                 time_msg
%!   {[]},                                      time_msg
%!   {[1 2]},                                   time_msg
%!   {1+2i},                                    time_msg
%!   {true},                                    time_msg
%!   {{5}},                                     time_msg
%!   {1, 'plot'},                               'pairs'
%!   {1, 'plot', false, 'file'},                'pairs'
%!   {1, 'colour', 'red'},                      'unknown option ''colour'''
%!   {1, 5, true},                              'option name'
%!   {1, 'plot', 'yes'},                        plot_msg
%!   {1, 'Plot', 2},                            plot_msg
%!   {1, 'plot', NaN},                          plot_msg
%!   {1, 'plot', [true false]},                 plot_msg
%!   {1, 'file', 5},                            file_msg
%!   {1, 'file', ''},                           file_msg
%!   {1, 'file', ['a.png'; 'b.png']},           file_msg
%!   {1, 'file', fullfile(tempname(), 'x.png')}, 'there is no folder'
%! };
%! tic ();
%! for i = 1:rows (cases)
%!   err = [];
%!   try
%!     evalc ('sondeo (cases{i, 1}{:});');
%!   catch err
%!   end
%!   assert (! isempty (err), 'case %d was accepted', i);
%!   assert (err.identifier, 'sondeo:badArgument');
%!   assert (strncmp (err.message, 'sondeo: ', 8) && ! isempty (strfind (err.message, cases{i, 2})),
%!           'case %d: [%s]', i, err.message);
%! end
%! assert (toc () < rows (cases), 'refusing took %g s', toc ());
