function failures = test_octave_waits(root)
% test_octave_waits(ROOT): make bench's Octave waits (ROOT/bench/octave_waits.m)
% on stand-ins of the extensions that log each call with prioridad's level and
% whether the busy process runs: the order of the blocks, the level and the
% busy process each block gets, the level given back after an error, level 1
% refused, and the latenesses written. Returns how many checks failed.
  global log_ level_ refuse_ hog_
  work = tempname();
  mkdir(work);
  stub(work, 'reloj', 't = 1000 * time();');
  stub(work, 'espera', 'pause(0.001); t = note(''espera'', reloj());');  % a block lasts long enough for a signal
  stub(work, 'hasta', 't = note(''hasta'', varargin{1});');
  stub(work, 'hasta_ref', 't = note(''ref'', varargin{1} + varargin{2});');  % ends its margin late
  stub(work, 'prioridad', ['global level_ refuse_; t = level_; if nargin, if varargin{1} == 1 && refuse_, ' ...
                           'error(''prioridad: level 1 is refused here''); end; level_ = varargin{1}; end']);
  stub(work, 'note', ['global log_ level_ hog_; t = varargin{2}; ' ...
                      'log_(end + 1, :) = {varargin{1}, level_, fileread(sprintf(''/proc/%d/stat'', hog_))};']);
  [~, pid] = system('sleep 120 > /dev/null 2>&1 & echo $!');
  hog_ = str2double(pid);
  kill(hog_, 19);  % SIGSTOP: as bench/run.sh hands it over
  addpath(fullfile(root, 'bench'));
  [log_, level_, refuse_] = deal(cell(0, 3), 0, false);
  octave_waits('priority', work, 0.4, hog_, work);
  blocks = brief(fileread(fullfile(work, 'priority_blocks.csv')));
  % Each block's last wait (after the first turn, which loads them): at its level, the busy
  % process stopped (T) but where loaded (S: it sleeps).
  last = log_(122:120:end, :);
  seen = strjoin(cellfun(@(level, stat) sprintf('%d%s', level, stat(find(stat == ')', 1, 'last') + 2)), ...
                         last(:, 2)', last(:, 3)', 'UniformOutput', false), ' ');
  level_back = level_;
  [log_, level_] = deal(cell(0, 3), 0);
  try
    octave_waits('priority', work, 0.4, 4194305, work);  % past any pid: "gone" at the first loaded block
    after_error = 'no error';
  catch err
    after_error = sprintf('%s; level %d', err.message, level_);
  end
  [log_, level_, refuse_] = deal(cell(0, 3), 0, true);
  octave_waits('priority', work, 0.2, hog_, work);
  refused = [fileread(fullfile(work, 'priority_refused.txt')), fileread(fullfile(work, 'priority_blocks.csv'))];
  refuse_ = false;
  octave_waits('hasta', work, 0.05, hog_, work);
  hasta = brief(fileread(fullfile(work, 'hasta_blocks.csv')));
  samples = fileread(fullfile(work, 'samples_octave_hasta.csv'));
  tight = regexp(samples, 'loaded level 1,reference 300 us own,100,([-\d.]+)', 'tokens');
  tight = [tight{:}];
  octave_waits('long', work, 0.001, [], work);
  long = regexprep(fileread(fullfile(work, 'samples_octave_long.csv')), '-?\d+\.\d+', 'X');
  kill(hog_, 9);
  checks = {
    'levels in blocks, their order turned round every other round', blocks, ...
      sprintf('idle,0,%s,1,60;idle,1,%s,1,60;loaded,0,%s,1,60;loaded,1,%s,1,60;idle,1,%s,2,60;idle,0,%s,2,60;', ...
              repmat({'espera(10) + hasta(reloj()+10),10'}, 1, 6){:})
    'each block at its level, the busy process running only where loaded', seen, '0T 1T 0S 1S 1T 0T 1S 0S'
    'the level as found after the blocks', sprintf('%d', level_back), '0'
    'the level as found after an error', after_error, 'busy process 4194305 is gone'
    'the level as found after an error', after_error, 'level 0'
    'level 1 refused: said, and its blocks left out', refused, ...
      sprintf('level 1 is refused here\nmachine,level,way,duration_ms,round,waits,wall_s,cpu_s,steal_pct\nidle,0,')
    'level 1 refused: none of its blocks', sprintf('%d', isempty(strfind(refused, ',1,espera'))), '1'
    'a block a way, each condition in turn, the ways'' order turned', hasta, ...
      ['idle,0,hasta,10,1,50;idle,0,reference,10,1,50;idle,0,reference,10,2,50;idle,0,hasta,10,2,50;' ...
       'idle,0,hasta,100,1,20;idle,0,reference,100,1,20;idle,0,reference,100,2,20;idle,0,hasta,100,2,20;loaded,0,hasta,10,1']
    'the 300 us reference at level 1 loaded only, in turn with the others', hasta, ...
      ['loaded,1,hasta,10,1,50;loaded,1,reference,10,1,50;loaded,1,reference 300 us,10,1,50;' ...
       'loaded,1,reference 300 us,10,2,50;loaded,1,reference,10,2,50;loaded,1,hasta,10,2,50;']
    'the 300 us reference at level 1 loaded only', sprintf('%d', numel(strfind(hasta, 'reference 300 us'))), '4'
    'the end a wait returns as its own lateness, in us', samples, sprintf('\nloaded level 1,reference own,100,1000.0000,NaN\n')
    'each reference with its margin (0.3 ms to within the stand-in clock''s step)', ...
      sprintf('%d', ~isempty(tight) && all(abs(cellfun(@str2double, tight) - 300) < 1)), '1'
    'ways that take turns: each wait''s processor time', long, ...
      sprintf('\noctave,espera(d) by its end,1,X,X\noctave,hasta(reloj()+d) by its end,1,X,X\n')
  };
  failures = failed_checks(checks, 'the Octave waits');
  confirm_recursive_rmdir(false, 'local');
  rmdir(work, 's');
end

% A block file's lines without their wall time, processor time and steal, each ended by ";".
function text = brief(csv)
  text = regexprep(csv, '(,[^,\n]+){3}\n', ';');
end

% A stand-in NAME.m in FOLDER: t = NAME(varargin), its body BODY.
function stub(folder, name, body)
  f = fopen(fullfile(folder, [name '.m']), 'w');
  fprintf(f, 'function t = %s(varargin)\n  %s\nend\n', name, body);
  fclose(f);
end
