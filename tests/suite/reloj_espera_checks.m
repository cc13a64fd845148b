function [checks, setup] = reloj_espera_checks()
% reloj_espera_checks  The checks of reloj and espera that run_suite makes,
% as {name, check}, and no setup: each check is called with the folder of the
% functions under test and raises an error when what it checks does not hold
% ('suite:skip' when this host cannot check it). Octave puts the function's
% name before an error message, MATLAB does not, so messages are matched by
% their ending.
  setup = [];
  checks = {
    'wrong argument counts refused, each with its message',       @argument_counts
    'every result is one real double, also with no output asked', @one_double
    'reloj never goes back',                                       @never_back
    'one time scale: espera ends at least its duration after reloj', @one_scale
    'another program''s monotonic clock reads between two reloj()',  @other_program
    'espera refuses what is not a duration it can wait',           @refused_inputs
    'durations that ask for no wait return at once',               @no_wait
    'the first element, or its real part, is the duration',        @first_element
    'help text from the .m file; calls run the compiled function', @help_text
    'without the compiled functions, a call says what is missing', @not_compiled
    'calls work after each way of clearing functions',             @after_clear
    'each way of clearing unloads the extensions as the host does', @unloading
  };
end

function argument_counts(~)
  rin = 'reloj necesita 0 argumento de entrada.';
  rout = 'reloj requires one output argument.';
  ein = 'espera necesita 1 argumento de entrada.';
  eout = 'espera requires one output argument.';
  cases = {
    % call                    function  inputs     outputs  message
    'reloj(1)',               @reloj,   {1},        1,      rin
    'reloj([])',              @reloj,   {[]},       1,      rin
    'reloj(1, 2)',            @reloj,   {1, 2},     1,      rin
    'reloj(1, 2, 3), no output', @reloj, {1, 2, 3}, 0,      rin
    '[a, b] = reloj()',       @reloj,   {},         2,      rout
    '[a, b, c] = reloj()',    @reloj,   {},         3,      rout
    '[a, b] = reloj(1)',      @reloj,   {1},        2,      rin   % inputs are checked first
    'espera()',               @espera,  {},         1,      ein
    'espera(), no output',    @espera,  {},         0,      ein
    'espera(1, 2)',           @espera,  {1, 2},     1,      ein
    'espera(1, 2, 3)',        @espera,  {1, 2, 3},  1,      ein
    '[a, b] = espera(1)',     @espera,  {1},        2,      eout
    '[a, b, c] = espera(1)',  @espera,  {1},        3,      eout
    '[a, b] = espera()',      @espera,  {},         2,      ein
    '[a, b] = espera(1, 2)',  @espera,  {1, 2},     2,      ein
  };
  wrong = wrong_messages(cases);
  assert(isempty(wrong), '%s', strjoin(wrong, '; '));
end

function one_double(~)
  one_result('reloj()', reloj());
  one_result('espera(0)', espera(0));
  one_result('espera(0.5)', espera(0.5));
  % With no output asked for, the result still goes to ans.
  reloj();
  one_result('reloj() into ans', ans);
  espera(0.5);
  one_result('espera(0.5) into ans', ans);
end

function never_back(~)
  t = zeros(1, 10000);
  for i = 1:numel(t)
    t(i) = reloj();
  end
  back = find(diff(t) < 0, 1);
  assert(isempty(back), 'reading %d, %.17g, is below the one before, %.17g', back + 1, t(back + 1), t(back));
end

function one_scale(~)
  t0 = reloj();
  t1 = espera(10);
  t2 = reloj();
  assert(t1 - t0 >= 10, 'espera(10) ended %g ms after the reloj() before it', t1 - t0);
  assert(t2 >= t1, 'reloj() after espera read %g ms before the end of the wait', t1 - t2);
end

% Python's time.monotonic_ns(), read by a program the host starts, between
% two reloj() calls: where Python says its clock is the one reloj reads here,
% which other programs stamp their data with. A Python that reads another
% clock (GetTickCount64 before 3.13 on Windows), or none that runs, is a skip.
function other_program(~)
  if ispc()
    system_name = 'Windows';
    same = 'QueryPerformanceCounter()';
  elseif ismac()
    system_name = 'macOS';
    same = 'mach_absolute_time()';   % CLOCK_UPTIME_RAW counts it
  else
    system_name = 'Linux';
    same = 'clock_gettime(CLOCK_MONOTONIC)';
  end
  code = '"import time; print(time.get_clock_info(''monotonic'').implementation); print(time.monotonic_ns())"';
  tried = {};
  for program = {'python3', 'python'}
    t0 = reloj();
    [status, out] = system([program{1} ' -E -S -c ' code ' 2>&1']);
    t1 = reloj();
    lines = strtrim(strsplit(strtrim(out), char(10)));
    if status ~= 0 || numel(lines) ~= 2
      tried{end + 1} = sprintf('%s (status %d: %s)', program{1}, status, lines{1}); %#ok<AGROW>
      continue;
    end
    if ~strcmp(lines{1}, same)
      error('suite:skip', '%s''s monotonic clock is %s, not %s, which reloj reads on %s', program{1}, lines{1}, ...
            same, system_name);
    end
    ms = str2double(lines{2}) / 1e6;
    assert(t0 <= ms && ms <= t1, '%s read %.17g ms, outside the reloj() readings around it, %.17g and %.17g', ...
           program{1}, ms, t0, t1);
    return;
  end
  error('suite:skip', 'no Python here that gives its monotonic clock: %s', strjoin(tried, '; '));
end

% Each refused call must leave the host running: the next row calls again.
function refused_inputs(~)
  not_double = 'espera requires a duration in milliseconds: a non-empty double array.';
  no_deadline = 'espera cannot wait NaN, Inf or 2^63 counter ticks or more.';
  cases = {
    % input          value              message
    'int8',          int8(5),           not_double
    'uint64',        uint64(5),         not_double
    'int32 zero',    int32(0),          not_double
    'single',        single(5),         not_double
    'char',          'a',               not_double
    'logical',       true,              not_double
    'cell',          {5},               not_double
    'struct',        struct('a', 5),    not_double
    'empty',         [],                not_double
    'zeros(0, 3)',   zeros(0, 3),       not_double
    'sparse(0, 3)',  sparse(0, 3),      not_double
    'NaN',           NaN,               no_deadline
    'Inf',           Inf,               no_deadline
    '1e300',         1e300,             no_deadline
    '[NaN 1]',       [NaN 1],           no_deadline
    'complex Inf',   complex(Inf, 1),   no_deadline
  };
  wrong = wrong_messages(cases, @espera);
  assert(isempty(wrong), '%s', strjoin(wrong, '; '));
  one_result('reloj() after the refusals', reloj());
end

% The result is the time of the call, between the readings around it. The
% upper bound is loose on purpose: it only tells no wait from a long one. A
% sparse array's duration is its element (1,1), zero when not stored: the
% elements stored elsewhere would be refused if read instead.
function no_wait(~)
  cases = {
    % duration               value
    'zero',                  0
    'negative',              -3
    '-Inf',                  -Inf
    '-1e300',                -1e300
    'below one tick',        1e-9
    'sparse(1, 3)',          sparse(1, 3)
    'sparse(100, 100)',      sparse(100, 100)
    'sparse([0 1e300])',     sparse([0 1e300])
    'sparse([0; NaN])',      sparse([0; NaN])
    '1e300 at (2,1) only',   sparse(2, 1, 1e300)
    'NaN at (1,2) only',     sparse(1, 2, NaN, 3, 3)
  };
  for i = 1:size(cases, 1)
    t0 = reloj();
    t = espera(cases{i, 2});
    t1 = reloj();
    assert(t0 <= t && t <= t1, '%s: ended at %.17g, outside the call (%.17g to %.17g)', cases{i, 1}, t, t0, t1);
    assert(t1 - t0 < 1000, '%s: the call took %g ms', cases{i, 1}, t1 - t0);
  end
end

% A second element or an imaginary part of 1e5 would wait 100 s, past the
% upper bound.
function first_element(~)
  cases = {
    % duration         value              ms
    'scalar',          5,                 5
    '[5 7]',           [5 7],             5
    '[5; 7]',          [5; 7],            5
    '5 + 2i',          5 + 2i,            5
    'sparse(5)',       sparse(5),         5
    'sparse([2 1e5])', sparse([2 1e5]),   2
    'sparse([3 0; 1e5 1e5])', sparse([3 0; 1e5 1e5]), 3
    '[1 1e5]',         [1 1e5],           1
    'complex(1, 1e5)', complex(1, 1e5),   1
  };
  for i = 1:size(cases, 1)
    t0 = reloj();
    t = espera(cases{i, 2});
    assert(t - t0 >= cases{i, 3}, '%s: waited %g ms', cases{i, 1}, t - t0);
    assert(t - t0 < 50000, '%s: waited %g ms', cases{i, 1}, t - t0);
  end
end

% Octave's help is the file's comment block after its function line, exactly;
% MATLAB's may be laid out in its own way, so there only its parts are
% checked. The file beside the compiled function names the release.
function help_text(folder)
  in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  % function | a part of its help that only it has
  helps = {
    'reloj',      'counter milliseconds'
    'espera',     'counter milliseconds'
    'hasta',      'Ctrl+C ends a wait within about 50 ms'
    'prioridad',  'prioridad:denied'
    'fecha',      'utc + (te - t)'
  };
  for i = 1:size(helps, 1)
    name = helps(i, 1);
    % Not exist(name) == 3: MATLAB ranks a folder of that name (as reloj/ in
    % the sources) before a compiled function.
    [~, ~, ext] = fileparts(which(name{1}));
    assert(strcmp(ext, ['.' mexext()]), '%s is not a compiled function but [%s]', name{1}, which(name{1}));
    file = fullfile(folder, [name{1} '.m']);
    text = help(name{1});
    for part = {sprintf(' = %s(', name{1}), helps{i, 2}, 'Example'}
      assert(~isempty(strfind(text, part{1})), 'help %s lacks [%s]', name{1}, part{1});
    end
    assert(~in_octave || strcmp(text, help_block(file)), 'help %s is not the comment block of %s', name{1}, file);
    assert(isempty(strfind(fileread(file), '@TOOLBOX_VERSION@')), '%s names no release', file);
  end
end

% The help files alone, in a folder of their own first on the path: each
% call runs the file's body, which must end in an error that says what is
% missing for this host and what to do, and help must be as beside the
% compiled functions.
function not_compiled(folder)
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    remedy = 'pkg install reloj-espera-';   % the package, which builds them
  elseif any(strcmp(mexext(), {'mexw64', 'mexa64'}))
    remedy = 'Unzip reloj-espera-';         % the archive, which holds them
  else
    remedy = 'build_mex';                   % no prebuilt ones for this platform
  end
  alone = [tempname() ' help files'];
  mkdir(alone);
  [~, alone_name] = fileparts(alone);
  names = compiled_functions();
  with_compiled = cell(size(names));
  for i = 1:numel(names)
    with_compiled{i} = help(names{i});
    copyfile(fullfile(folder, [names{i} '.m']), alone);
  end
  addpath(alone);
  remove = onCleanup(@() remove_folder(alone));
  problems = {};
  calls = {
    % call                     function  inputs  outputs
    't = reloj()',             @reloj,   {},     1
    'reloj(1)',                @reloj,   {1},    0
    't = espera(5)',           @espera,  {5},    1
    '[a, b] = espera(1, 2)',   @espera,  {1, 2}, 2
    't = hasta(5)',            @hasta,   {5},    1
    'p = prioridad(1)',        @prioridad, {1},  1
    '[t, utc] = fecha()',      @fecha,   {},     2
  };
  for i = 1:size(calls, 1)
    [message, identifier] = message_of(calls{i, 2}, calls{i, 3}, calls{i, 4});
    if ~strcmp(identifier, [func2str(calls{i, 2}) ':noCompiledFunction']) ...
        || isempty(strfind(message, alone_name)) || isempty(strfind(message, remedy))
      problems{end + 1} = sprintf('%s: [%s] [%s]', calls{i, 1}, identifier, message); %#ok<AGROW>
    end
  end
  for i = 1:numel(names)
    if ~strcmp(help(names{i}), with_compiled{i})
      problems{end + 1} = sprintf('help %s differs without the compiled function', names{i}); %#ok<AGROW>
    end
  end
  assert(isempty(problems), '%s', strjoin(problems, '; '));
end

% Clearing unloads an extension (not "clear mex" in Octave, which clears a
% function named mex); the next call must load it again and work. Three
% rounds, so that loading again after unloading is repeated too.
function after_clear(~)
  no_deadline = 'espera cannot wait NaN, Inf or 2^63 counter ticks or more.';
  clears = {'clear reloj espera hasta', 'clear functions', 'clear mex'};
  previous = reloj();
  for pass = 1:3
    for i = 1:numel(clears)
      espera(0);
      eval([clears{i} ';']);
      t0 = reloj();
      t1 = espera(0.5);
      assert(t0 >= previous && t1 - t0 >= 0.5, 'after %s: %.17g, %.17g, %.17g', clears{i}, previous, t0, t1);
      got = message_of(@espera, {NaN}, 1);
      assert(ends_with(got, no_deadline), 'after %s: espera(NaN) gave [%s]', clears{i}, got);
      t2 = hasta(t1 + 0.5);
      assert(t2 - t1 >= 0.5, 'after %s: hasta(%.17g) ended at %.17g', clears{i}, t1 + 0.5, t2);
      previous = t2;
    end
  end
end

function unloading(~)
  in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  if in_octave && ~exist('/proc/self/maps', 'file')
    error('suite:skip', 'Octave shows which extensions are loaded only through /proc/self/maps (Linux)');
  end
  clears = {
    % command              unloads
    'clear reloj espera hasta', true
    'clear functions',     true
    'clear mex',           ~in_octave   % in Octave it clears a function named mex
  };
  for i = 1:size(clears, 1)
    reloj();
    espera(0);
    hasta(0);
    assert(isequal(loaded_extensions(), [true true true]), 'before %s, loaded: reloj %d, espera %d, hasta %d', ...
           clears{i, 1}, loaded_extensions());
    eval([clears{i, 1} ';']);
    want = ~repmat(clears{i, 2}, 1, 3);
    assert(isequal(loaded_extensions(), want), 'after %s, loaded: reloj %d, espera %d, hasta %d', ...
           clears{i, 1}, loaded_extensions());
  end
end

% Off the path, and gone, with what is in it.
function remove_folder(folder)
  rmpath(folder);
  files = dir(fullfile(folder, '*.m'));
  for i = 1:numel(files)
    delete(fullfile(folder, files(i).name));
  end
  rmdir(folder);
end

function one_result(call, t)
  assert(isa(t, 'double') && isreal(t) && isequal(size(t), [1 1]) && isfinite(t), ...
         '%s gave a %s of size %s, not one finite real double', call, class(t), mat2str(size(t)));
end
