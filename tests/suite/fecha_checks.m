function [checks, setup] = fecha_checks()
% fecha_checks  The checks of fecha that run_suite makes, as {name, check},
% and no setup: each check is called with the folder of the functions under
% test and raises an error when what it checks does not hold. Messages are
% matched by their ending, as Octave puts the function's name before them.
% Its help and its file without the compiled function are checked with
% reloj's and espera's.
  setup = [];
  checks = {
    'fecha: wrong argument counts refused, each with its message',       @argument_counts
    'fecha: each output count gets its results, in order, on their scales', @outputs
  };
end

function argument_counts(~)
  in = 'fecha necesita 0 argumento de entrada.';
  out = 'fecha returns at most four output arguments.';
  cases = {
    % call                          function  inputs  outputs  message
    'fecha(1)',                     @fecha,   {1},    1,       in
    'fecha([]), no output',         @fecha,   {[]},   0,       in
    'fecha(1, 2)',                  @fecha,   {1, 2}, 4,       in
    '[a, b, c, d, e] = fecha()',    @fecha,   {},     5,       out
    '[a, b, c, d, e, f] = fecha()', @fecha,   {},     6,       out
    '[a, b, c, d, e] = fecha(1)',   @fecha,   {1},    5,       in    % inputs are checked first
  };
  wrong = wrong_messages(cases);
  assert(isempty(wrong), '%s', strjoin(wrong, '; '));
end

% t within the call on reloj's scale; utc within a second of the host's own
% clock (a wrong epoch or unit is years or a factor of 1000 off); incierto
% not negative and at most half the call; error_sistema Inf, NaN or an
% error in ms. With no output asked for, t goes to ans.
function outputs(~)
  for n = 0:4
    r0 = reloj();
    c0 = host_clock_ms();
    out = cell(1, max(n, 1));
    if n == 0
      fecha();
      out{1} = ans;
    else
      [out{1:n}] = fecha();
    end
    c1 = host_clock_ms();
    r1 = reloj();
    for i = 1:numel(out)
      v = out{i};
      assert(isa(v, 'double') && isreal(v) && isequal(size(v), [1 1]), ...
             '%d outputs: output %d is a %s of size %s', n, i, class(v), mat2str(size(v)));
    end
    assert(r0 <= out{1} && out{1} <= r1, '%d outputs: t %.17g outside the call (%.17g to %.17g)', n, out{1}, r0, r1);
    if n >= 2
      assert(abs(out{2} - (c0 + c1) / 2) < 1000 + (c1 - c0) / 2, '%d outputs: utc %.17g, the host''s clock %.17g', ...
             n, out{2}, c0);
    end
    if n >= 3
      assert(out{3} >= 0 && out{3} <= (r1 - r0) / 2, '%d outputs: incierto %g, the call %g ms', n, out{3}, r1 - r0);
    end
    if n >= 4
      assert(isnan(out{4}) || out{4} >= 0, '%d outputs: error_sistema %g', n, out{4});
    end
  end
end

% The host's own clock, in ms since 1970-01-01 UTC.
function ms = host_clock_ms()
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    ms = time() * 1000;
  else
    ms = posixtime(datetime('now', 'TimeZone', 'UTC')) * 1000;
  end
end
