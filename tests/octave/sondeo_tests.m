% Tests of sondeo inside Octave, for the test function: run_extension_tests
% puts the folder under test on the path first. They run without a display,
% so sondeo can draw only into a file, through gnuplot. Its figures depend on
% the machine: only what holds on any machine is checked.

%!shared r, out, png, took
%! png = [tempname() '.png'];
%! tic ();
%! out = evalc ('r = sondeo (2, ''file'', png);');
%! took = toc ();

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

%% Lateness: every wait kept, nearest-rank percentiles of those waits.
%!test
%! for way = {'espera', 'pause'}
%!   s = r.(way{1});
%!   assert (sort (fieldnames (s)), sort ({'waits'; 'median_us'; 'p99_us'; 'worst_us'; 'late_us'}));
%!   assert (cellfun (@numel, s.late_us), s.waits);
%!   assert (all (s.waits >= 1));
%!   for k = 1:3
%!     x = s.late_us{k};
%!     n = numel (x);
%!     assert (all (x > 0), '%s(%g) ended before its deadline', way{1}, r.durations_ms(k));
%!     for q = {0.5, s.median_us(k); 0.99, s.p99_us(k); 1, s.worst_us(k)}'
%!       assert (sum (x <= q{2}) >= q{1} * n && sum (x < q{2}) < q{1} * n,
%!               '%s(%g): %g is not the %g quantile', way{1}, r.durations_ms(k), q{2}, q{1});
%!     end
%!   end
%! end
%! assert (r.espera.waits, r.pause.waits);  % they take turns
%! % Only at 0.1 ms: on a busy machine the scheduler takes the processor from
%! % a long spin more readily than from a sleeper, and 10 ms waits are few.
%! assert (r.espera.median_us(1) < r.pause.median_us(1));

%!test
%! g = r.gaps;
%! assert (g.threshold_us >= 10);
%! assert (g.span_s > 0 && g.span_s < r.elapsed_s);
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

%!test
%! for line = {'reloj()', 'tic', 'toc(id)', 'espera(0.1)', 'pause(0.0001)', 'espera(1)', 'pause(0.001)', ...
%!             'espera(10)', 'pause(0.01)', 'shortest interval between calls', 'processor away', ['Verdict: ' r.verdict], ['written to ' png]}
%!   assert (! isempty (strfind (out, line{1})), 'printed: [%s]', line{1});
%! end

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
%! out = evalc ('sondeo (1, ''Plot'', false);');
%! assert (isempty (strfind (out, 'No display')));
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
