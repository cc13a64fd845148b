function [checks, setup] = hasta_checks()
% hasta_checks  The checks of hasta that run_suite makes, as {name, check},
% and no setup: each check is called with the folder of the functions under
% test and raises an error when what it checks does not hold. Messages are
% matched by their ending, as Octave puts the function's name before them.
% Its help, its file without the compiled function and its unloading are
% checked with reloj's and espera's.
  setup = [];
  checks = {
    'hasta: wrong argument counts refused, each with its message',  @argument_counts
    'hasta: one real double, also with no output asked',            @one_double
    'hasta refuses what is not a deadline it can wait until',        @refused_inputs
    'hasta: deadlines already past return at once',                  @past
    'hasta ends at or after its deadline, on reloj''s scale',        @reached
    'hasta: the first element, or its real part, is the deadline',   @first_element
    'hasta keeps a periodic loop on its schedule',                   @periodic
  };
end

function argument_counts(~)
  in = 'hasta necesita 1 argumento de entrada.';
  out = 'hasta requires one output argument.';
  cases = {
    % call                   function  inputs  outputs  message
    'hasta()',               @hasta,   {},     1,       in
    'hasta(), no output',    @hasta,   {},     0,       in
    'hasta(1, 2)',           @hasta,   {1, 2}, 1,       in
    '[a, b] = hasta(1)',     @hasta,   {1},    2,       out
    '[a, b] = hasta(1, 2)',  @hasta,   {1, 2}, 2,       in    % inputs are checked first
  };
  wrong = wrong_messages(cases);
  assert(isempty(wrong), '%s', strjoin(wrong, '; '));
end

function one_double(~)
  t = hasta(reloj() + 0.5);
  assert(isa(t, 'double') && isreal(t) && isequal(size(t), [1 1]) && isfinite(t), 'hasta gave a %s of size %s', ...
         class(t), mat2str(size(t)));
  hasta(0);
  assert(isa(ans, 'double') && isequal(size(ans), [1 1]), 'hasta(0) put no double into ans');
end

% Each refused call must leave the host running: the next row calls again.
function refused_inputs(~)
  not_double = 'hasta requires a deadline in counter milliseconds: a non-empty double array.';
  no_deadline = 'hasta cannot wait until NaN, Inf, -Inf or a time past the counter''s last reading.';
  cases = {
    % input          value              message
    'int8',          int8(5),           not_double
    'single',        single(5),         not_double
    'char',          'a',               not_double
    'logical',       true,              not_double
    'cell',          {5},               not_double
    'struct',        struct('a', 5),    not_double
    'empty',         [],                not_double
    'sparse(0, 3)',  sparse(0, 3),      not_double
    'NaN',           NaN,               no_deadline
    'Inf',           Inf,               no_deadline
    '-Inf',          -Inf,              no_deadline
    '1e300',         1e300,             no_deadline
    '[NaN 1]',       [NaN 1],           no_deadline
    'complex Inf',   complex(Inf, 1),   no_deadline
  };
  wrong = wrong_messages(cases, @hasta);
  assert(isempty(wrong), '%s', strjoin(wrong, '; '));
end

% The result is the time of the call, between the readings around it; the
% upper bound only tells no wait from a long one. A sparse deadline is its
% element (1,1), zero when not stored: the elements stored elsewhere would
% be refused, or waited for, if read instead.
function past(~)
  cases = {
    % deadline               value
    'zero',                  0
    'negative',              -3
    'a millisecond ago',     reloj() - 1
    'sparse(1, 3)',          sparse(1, 3)
    'sparse([0 1e300])',     sparse([0 1e300])
    '1e300 at (2,1) only',   sparse(2, 1, 1e300)
  };
  for i = 1:size(cases, 1)
    t0 = reloj();
    t = hasta(cases{i, 2});
    t1 = reloj();
    assert(t0 <= t && t <= t1, '%s: ended at %.17g, outside the call (%.17g to %.17g)', cases{i, 1}, t, t0, t1);
    assert(t1 - t0 < 1000, '%s: the call took %g ms', cases{i, 1}, t1 - t0);
  end
end

function reached(~)
  for ahead = [0.01 0.5 1 3 12 30]
    deadline = reloj() + ahead;
    t = hasta(deadline);
    after = reloj();
    assert(t >= deadline, 'hasta(reloj() + %g) ended %.3f us before its deadline', ahead, (deadline - t) * 1000);
    assert(after >= t, 'reloj() after hasta read %g ms before the end of the wait', t - after);
  end
end

% A second element or an imaginary part of reloj() + 1e5 would wait 100 s,
% past the upper bound.
function first_element(~)
  cases = {
    % deadline            the rest
    '[d 1e5 more]',       @(d) [d, d + 1e5]
    '[d; 1e5 more]',      @(d) [d; d + 1e5]
    'complex(d, 1e5)',    @(d) complex(d, d + 1e5)
    'sparse([d 1e5])',    @(d) sparse([d, d + 1e5])
  };
  for i = 1:size(cases, 1)
    t0 = reloj();
    t = hasta(cases{i, 2}(t0 + 2));
    assert(t - t0 >= 2, '%s: waited %g ms', cases{i, 1}, t - t0);
    assert(t - t0 < 50000, '%s: waited %g ms', cases{i, 1}, t - t0);
  end
end

% hasta(t0 + 5*k): each step at or after its own deadline, so the steps
% never drift, however long the work between them.
function periodic(~)
  t0 = reloj();
  t = zeros(1, 20);
  for k = 1:numel(t)
    t(k) = hasta(t0 + 5 * k);
    espera(k / 10);   % work of varying length
  end
  early = find(t < t0 + 5 * (1:numel(t)), 1);
  assert(isempty(early), 'step %d ended at %.17g, before %.17g', early, t(early), t0 + 5 * early);
end
