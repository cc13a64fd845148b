% Tests of reloj and espera inside Octave, for the test function:
% run_extension_tests puts the folder of the extensions under test on the
% path first. Octave puts the function's name before an error message, so the
% messages are matched by their end.

%!function message = error_of (code)
%!  message = '';
%!  try
%!    eval ([code ';']);
%!  catch err
%!    message = err.message;
%!  end
%!endfunction

%!function check_ends_with (name, text, ending)
%!  assert (numel (text) >= numel (ending)
%!          && strcmp (text(end-numel (ending)+1:end), ending),
%!          '%s: got [%s], want it to end with [%s]', name, text, ending);
%!endfunction

%!function assert_one_double (t)
%!  assert (isa (t, 'double') && isreal (t) && isequal (size (t), [1 1]) && isfinite (t));
%!endfunction

%% The four messages.
%!error <reloj necesita 0 argumento de entrada\.$> reloj (1)
%!error <reloj requires one output argument\.$> [a, b] = reloj ()
%!error <espera necesita 1 argumento de entrada\.$> espera ()
%!error <espera requires one output argument\.$> [a, b] = espera (1)

%!test
%! rin = 'reloj necesita 0 argumento de entrada.';
%! rout = 'reloj requires one output argument.';
%! ein = 'espera necesita 1 argumento de entrada.';
%! eout = 'espera requires one output argument.';
%! cases = {
%!   % call                        message
%!   'reloj ([])',                  rin
%!   'reloj (1, 2)',                rin
%!   'reloj (1, 2, 3)',             rin
%!   '[a, b, c] = reloj ()',        rout
%!   '[a, b] = reloj (1)',          rin   % the input count is checked first
%!   'espera (1, 2)',               ein
%!   'espera (1, 2, 3)',            ein
%!   '[a, b, c] = espera (1)',      eout
%!   '[a, b] = espera ()',          ein
%!   '[a, b] = espera (1, 2)',      ein
%! };
%! for i = 1:rows (cases)
%!   check_ends_with (cases{i,1}, error_of (cases{i,1}), cases{i,2});
%! end

%% What is called is the extension, not the help file beside it, and the
%% help file gives the help: all of the comment block after its function
%% line. It names the release to install where the extension is missing.
%!test
%! for name = {'reloj', 'espera'}
%!   assert (exist (name{1}), 3);
%!   [text, format] = get_help_text (name{1});
%!   assert (format, 'plain text');
%!   file = fullfile (fileparts (which (name{1})), [name{1} '.m']);
%!   assert (help (name{1}), help_block (file));
%!   assert (isempty (strfind (fileread (file), '@TOOLBOX_VERSION@')), '%s names no release', file);
%!   assert (! isempty (strfind (text, sprintf ('t = %s(', name{1}))), 'usage of %s', name{1});
%!   assert (! isempty (strfind (text, 'counter milliseconds')), 'scale of %s', name{1});
%!   assert (! isempty (strfind (text, 'Example')), 'example of %s', name{1});
%! end

%% Every result is one real double, also when no output is asked for.
%!test
%! assert_one_double (reloj ());
%! assert_one_double (espera (0));
%! reloj ();
%! assert_one_double (ans);
%! espera (0.5);
%! assert_one_double (ans);

%!test
%! t = zeros (1, 2000);
%! for i = 1:numel (t)
%!   t(i) = reloj ();
%! end
%! assert (all (diff (t) >= 0), 'reloj went back');

%% One time scale: results of either function can be subtracted.
%!test
%! t0 = reloj ();
%! t1 = espera (10);
%! t2 = reloj ();
%! assert (t1 - t0 >= 10, 'espera(10) ended %g ms after reloj', t1 - t0);
%! assert (t2 >= t1, 'reloj read %g ms before the end of espera', t1 - t2);

%% Inputs espera refuses, inputs that mean no wait, and inputs whose wait is
%% taken from the first real element only. Octave must run on after each.
%!test
%! not_double = 'espera requires a duration in milliseconds: a non-empty double array.';
%! no_deadline = 'espera cannot wait NaN, Inf or 2^63 counter ticks or more.';
%! refused = {
%!   'int8',         int8(5),            not_double
%!   'uint64',       uint64(5),          not_double
%!   'single',       single(5),          not_double
%!   'char',         'a',                not_double
%!   'logical',      true,               not_double
%!   'cell',         {5},                not_double
%!   'struct',       struct('a', 5),     not_double
%!   'empty',        [],                 not_double
%!   'zeros(0,3)',   zeros(0, 3),        not_double
%!   'empty sparse', sparse(0, 3),       not_double
%!   'NaN',          NaN,                no_deadline
%!   'Inf',          Inf,                no_deadline
%!   '1e300',        1e300,              no_deadline
%!   'NaN first',    [NaN 1],            no_deadline
%! };
%! for i = 1:rows (refused)
%!   message = '';
%!   try
%!     espera (refused{i,2});
%!   catch err
%!     message = err.message;
%!   end
%!   check_ends_with (refused{i,1}, message, refused{i,3});
%! end
%! % Durations that ask for no wait. A sparse array's duration is its
%! % element (1,1), zero when not stored; the elements stored elsewhere
%! % would be refused if read instead.
%! no_wait = {
%!   'zero',                 0
%!   'negative',             -3
%!   '-Inf',                 -Inf
%!   '-1e300',               -1e300
%!   'sparse zeros',         sparse(1, 3)
%!   'sparse 100x100',       sparse(100, 100)
%!   'sparse [0 1e300]',     sparse([0 1e300])
%!   'sparse [0; NaN]',      sparse([0; NaN])
%!   'sparse (2,1) only',    sparse(2, 1, 1e300)
%!   'sparse (1,2) only',    sparse(1, 2, NaN, 3, 3)
%! };
%! for i = 1:rows (no_wait)
%!   t0 = reloj ();
%!   t = espera (no_wait{i,2});
%!   t1 = reloj ();
%!   assert (t0 <= t && t <= t1, '%s: ended outside the call', no_wait{i,1});
%!   assert (t1 - t0 < 1000, '%s: waited %g ms', no_wait{i,1}, t1 - t0);
%! end
%! % The first element, or its real part, is the duration: a second element
%! % or an imaginary part of 1e5 would wait 100 s, past the upper bound.
%! waits = {
%!   'scalar',           5,                  5
%!   'row [5 7]',        [5 7],              5
%!   'complex 5+2i',     5 + 2i,             5
%!   'sparse 5',         sparse(5),          5
%!   'sparse [2 1e5]',   sparse([2 1e5]),    2
%!   'sparse [3 0; 1e5 1e5]', sparse([3 0; 1e5 1e5]), 3
%!   'row [1 1e5]',      [1 1e5],            1
%!   'complex 1+1e5i',   complex(1, 1e5),    1
%! };
%! for i = 1:rows (waits)
%!   t0 = reloj ();
%!   t = espera (waits{i,2});
%!   assert (t - t0 >= waits{i,3}, '%s: waited %g ms', waits{i,1}, t - t0);
%!   assert (t - t0 < 50000, '%s: waited %g ms', waits{i,1}, t - t0);
%! end
%! assert_one_double (reloj ());
