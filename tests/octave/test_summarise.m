function failures = test_summarise(root)
% test_summarise(ROOT): make bench's summariser (ROOT/bench/summarise.m) on
% waits and fecha calls of known figures, as its measuring programs write
% them, with targets of its own: the percentiles, the tables and each kind
% of verdict. Returns how many checks failed.
  work = tempname();
  mkdir(fullfile(work, 'sondeo'));
  mkdir(fullfile(work, 'bench'));
  mkdir(fullfile(work, 'out'));
  copyfile(fullfile(root, 'sondeo', 'sondeo.m'), fullfile(work, 'sondeo'));
  write(fullfile(work, 'out', 'machine.txt'), ...
        'date: 2026-12-10 12:00 UTC\nmachine: 2 cores\nload average at start: 1 1 1\n');
  % espera: 1 to 100 us at 1 ms, shuffled, and 1 to 10 us at 20 ms; sleep_for 1001 to 1100 us,
  % each switched out.
  late = [randperm(100), 1:10, 1000 + (1:100)];
  lines = [repmat({'espera (busy wait),1'}, 1, 100), repmat({'espera (busy wait),20'}, 1, 10), ...
           repmat({'sleep_for,1'}, 1, 100)];
  write(fullfile(work, 'out', 'samples_linux.csv'), ['platform,wait,duration_ms,lateness_us,switched\n', ...
        sprintf('linux,%s,%d,%d\n', [lines; num2cell(late); num2cell(late > 1000)]{:})]);
  % One gap of 20 ms in 1 s of reading the counter: a deadline at a random moment falls in it
  % 2% of the time, and ends more than 10 ms late 1% of the time, more than 19 ms 0.1%.
  write(fullfile(work, 'out', 'counter_linux.csv'), 'ticks_per_s,read_ns,gaps_read_s\n1000000000,25,1\n');
  write(fullfile(work, 'out', 'gaps_linux.csv'), 'gap_us\n20000\n');
  write(fullfile(work, 'out', 'fecha_samples.csv'), ...
        ['label,incierto_ns,after_us,error_sistema_ms,utc_minus_t_ms\n', ...
        sprintf('linux,%d,2.5,Inf,1000\n', 1:100), 'linux-end,1,2.5,Inf,1000.001\n']);
  write(fullfile(work, 'bench', 'targets.txt'), [ ...
    '# a comment, and a blank line\n\n' ...
    '1 | at the bound | linux: espera (busy wait), p50 | <= 50 | - | target\n' ...
    '1 | past it | linux: espera (busy wait), p99 | < 99 | - | target\n' ...
    '20 | too few | linux: espera (busy wait), p99 | <= 1e9 | - | target\n' ...
    '1 | ratio | linux: sleep_for, p50 | >= 30*ref | linux: espera (busy wait), p50 | target\n' ...
    '1 | both ways | linux: sleep_for, worst | <= ref + 1000 | linux: espera (busy wait), worst | aim\n' ...
    '1 | not this | linux: sleep_for, p50 | <= 1 | - | one of: one of two\n' ...
    '1 | but this | linux: sleep_for, p50 | >= 1 | - | one of: one of two\n' ...
    '1 | just shown | linux: espera (busy wait), worst | - | - | info\n' ...
    '- | from the gaps | linux: counter gaps, p99.9 | - | - | info\n']);
  addpath(fullfile(root, 'bench'));
  printed = evalc('summarise(work, fullfile(work, ''out''))');
  summary = fileread(fullfile(work, 'out', 'summary.md'));
  csv = fileread(fullfile(work, 'out', 'lateness.csv'));
  fecha = fileread(fullfile(work, 'out', 'fecha.csv'));
  checks = {
    'percentiles of nearest rank, none of the tail with too few waits', csv, ...
      'linux,linux: espera (busy wait),1,100,50.0000,90.0000,95.0000,99.0000,NaN,100.0000,0.00'
    'the share of waits switched out', csv, ...
      'linux,linux: sleep_for,1,100,1050.0000,1090.0000,1095.0000,1099.0000,NaN,1100.0000,100.00'
    'a target met at its bound', printed, '1 ms  at the bound 50.0 us (target <= 50.0 us): met'
    'a target missed past it', printed, '1 ms  past it 99.0 us (target < 99.0 us): MISSED'
    'too few waits: neither met nor missed', printed, ...
      '20 ms  too few - (target <= 1000000000 us): - (too few waits)'
    'a bound of K times the other figure, as a ratio', printed, ...
      'ratio 1050 us = 21.0x linux: espera (busy wait), p50 50.0 us (target >= 30x): MISSED'
    'a bound reckoned from the other figure, as an aim', printed, ...
      'both ways 1100 us = linux: espera (busy wait), worst 100 us +1000 us (aim <= +1000 us): met'
    'lines of one sentence: met where one is', printed, ...
      sprintf(['not this 1050 us (one of <= 1.0 us): no\n     1 ms  but this 1050 us (one of >= 1.0 us): yes\n' ...
               '  one of two: met'])
    'a figure only shown', printed, sprintf('just shown 100 us\n')
    'a figure of no duration', printed, sprintf('\n           from the gaps 19000 us\n')
    'what the gaps leave a busy wait', summary, ...
      ['(1 gaps, 1.0 a second, longest 20000 us): a deadline at a random moment ends later than 10000.000 us 1% ' ...
       'of the time, 19000.000 us 0.1%.']
    'the durations as columns, "-" where none', summary, '| linux: espera (busy wait) | 50.0 / 99.0 | 5.0 / - |'
    'the waits of each cell', summary, 'Waits per cell: linux 100 at 1 ms, 10 at 20 ms;'
    'fecha: each label, the last call''s error, utc - t of the first', fecha, ...
      sprintf('linux,100,50.0,99.0,100.0,2.50,2.50,2.50,Inf,1000.000000\nlinux-end,1,')
    'fecha: how far the two scales moved apart', summary, 'from the start of the run to its end: +1.000 us.'
  };
  failures = 0;
  for i = 1:rows(checks)
    if isempty(strfind(checks{i, 2}, checks{i, 3}))
      failures = failures + 1;
      printf('FAILED: %s: no "%s" in\n%s\n', checks{i, 1}, checks{i, 3}, checks{i, 2});
    end
  end
  if ~isempty(regexp(summary, 'In Octave|hasta|priority', 'once'))
    failures = failures + 1;
    printf('FAILED: the parts that did not run are in the summary:\n%s\n', summary);
  end
  printf('%d of %d checks of the summariser passed\n', rows(checks) + 1 - failures, rows(checks) + 1);
  confirm_recursive_rmdir(false, 'local');
  rmdir(work, 's');
end

function write(file, text)
  f = fopen(file, 'w');
  fprintf(f, '%s', sprintf(text));
  fclose(f);
end
