function [checks, setup] = prioridad_checks()
% prioridad_checks  The checks of prioridad that run_suite makes, as {name,
% check}, and no setup. Raising needs the right to (root, or a real-time
% limit, on Linux): where this session is refused, the checks that raise
% say so and are skipped, after checking that the refusal changed nothing.
% In Octave on Linux they also read the scheduling policy of the thread
% that runs the script (the main thread) as the system reports it.
  setup = [];
  checks = {
    'prioridad refuses wrong counts and levels, changing nothing',      @refused
    'prioridad: each call returns the level before, 0 -> 1 -> 0',       @levels
    'prioridad: onCleanup gives the level back when a script fails',    @on_cleanup
    'prioridad: clear prioridad gives the level back',                  @cleared
    'prioridad: programs the session starts run at normal priority',    @children
  };
end

% Each refused call must change nothing: the level stays 0.
function refused(~)
  in = 'prioridad necesita 0 o 1 argumento de entrada.';
  out = 'prioridad requires one output argument.';
  bad = 'prioridad requires a level, 0 (normal) or 1 (raised): one double.';
  cases = {
    % call                        function    inputs     outputs  message
    'prioridad(1, 2)',            @prioridad, {1, 2},    1,       in
    'prioridad(0, 0), no output', @prioridad, {0, 0},    0,       in
    '[a, b] = prioridad()',       @prioridad, {},        2,       out
    '[a, b] = prioridad(0)',      @prioridad, {0},       2,       out
    'prioridad([])',              @prioridad, {[]},      1,       bad
    'prioridad(NaN)',             @prioridad, {NaN},     1,       bad
    'prioridad(0.5)',             @prioridad, {0.5},     1,       bad
    'prioridad(2)',               @prioridad, {2},       1,       bad
    'prioridad(-1)',              @prioridad, {-1},      1,       bad
    'prioridad([1 0])',           @prioridad, {[1 0]},   1,       bad
    'prioridad(int8(1))',         @prioridad, {int8(1)}, 1,       bad
    'prioridad(true)',            @prioridad, {true},    1,       bad
    'prioridad(''1'')',           @prioridad, {'1'},     1,       bad
  };
  wrong = wrong_messages(cases);
  assert(isempty(wrong), '%s', strjoin(wrong, '; '));
  assert(prioridad() == 0, 'a refused call changed the level');
  assert_policy(0);
end

function levels(~)
  raise_or_skip();
  prioridad(0);
  % level asked for (-1: prioridad()) | what it returns | policy after
  steps = [
    -1  0  0
     1  0  1
    -1  1  1
     1  1  1
     0  1  0
     0  0  0
    -1  0  0
  ];
  for i = 1:size(steps, 1)
    if steps(i, 1) < 0
      got = prioridad();
    else
      got = prioridad(steps(i, 1));
    end
    assert(isequal(got, steps(i, 2)), 'step %d gave %g, not %g', i, got, steps(i, 2));
    assert_policy(steps(i, 3));
  end
  % Waits at level 1 run as ever.
  raised = onCleanup(@() prioridad(0));
  prioridad(1);
  t = reloj();
  assert(espera(0.5) >= t + 0.5 && hasta(t + 1) >= t + 1, 'a wait at level 1 ended early');
end

function on_cleanup(~)
  raise_or_skip();
  prioridad(0);
  try
    fails_at_level_one();
  catch err
    assert(strcmp(err.message, 'a fault in the script'), 'the script failed otherwise: %s', err.message);
  end
  assert(prioridad() == 0, 'onCleanup did not give the level back');
  assert_policy(0);
end

function fails_at_level_one()
  p = prioridad(1);
  c = onCleanup(@() prioridad(p));
  error('a fault in the script');
end

function cleared(~)
  raise_or_skip();
  assert_policy(1);
  clear prioridad
  assert_policy(0);
  assert(prioridad() == 0, 'prioridad() is not 0 after clear prioridad');
end

function children(~)
  if ~isunix() || ismac()
    error('suite:skip', 'only Linux reports it through /proc');
  end
  raise_or_skip();
  raised = onCleanup(@() prioridad(0));
  % The policy (0: normal) of the program itself, as the system reports it.
  [status, out] = system('awk ''{ print $(NF - 11) }'' /proc/self/stat');
  assert(status == 0 && str2double(out) == 0, 'a program started at level 1 had policy [%s]', strtrim(out));
end

% Raises, or skips the check where this session may not, after checking
% that the refusal is the one scripts can tell, with nothing changed.
function raise_or_skip()
  [message, identifier] = message_of(@prioridad, {1}, 1);
  if isempty(message)
    return;
  end
  assert(strcmp(identifier, 'prioridad:denied'), 'prioridad(1) failed with [%s] %s', identifier, message);
  assert(prioridad() == 0, 'a refused raise changed the level');
  assert_policy(0);
  error('suite:skip', 'this session may not raise its priority: %s', message);
end

% In Octave on Linux: the main thread, which runs the script, has the
% policy of the level (1: SCHED_FIFO). Elsewhere nothing to read.
function assert_policy(level)
  if exist('OCTAVE_VERSION', 'builtin') == 0 || ~isunix() || ismac()
    return;
  end
  id = getpid();
  stat = fileread(sprintf('/proc/%d/task/%d/stat', id, id));
  fields = strsplit(regexprep(stat, '^.*\) ', ''), ' ');
  policy = str2double(fields{39});  % the 41st field; the first two are cut
  assert(policy == level, 'the thread''s policy is %d at level %d', policy, level);
end
