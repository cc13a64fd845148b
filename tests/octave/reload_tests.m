% Tests, for the test function, that reloj and espera keep working after the
% ways a script clears functions. Octave unloads an extension when its last
% function is cleared, and the next call loads it afresh. Kept apart from
% extension_tests.m because "clear functions" also clears the helper
% functions defined there. run_extension_tests puts the folder of the
% extensions under test on the path first.

%!test
%! files = cellfun (@(name) canonicalize_file_name (which (name)), {'reloj', 'espera'},
%!                  'UniformOutput', false);
%! loaded = @() cellfun (@(file) ! isempty (strfind (fileread ('/proc/self/maps'), file)), files);
%! no_deadline = 'espera cannot wait NaN, Inf or 2^63 counter ticks or more.';
%! % Octave has no "clear mex" of its own: it clears whatever is named mex,
%! % and the extensions stay loaded. Calls must work after it all the same.
%! clears = {
%!   % command                 unloads both
%!   'clear reloj espera',      true
%!   'clear functions',         true
%!   'clear mex',               false
%! };
%! previous = reloj ();
%! for round = 1:3
%!   for i = 1:rows (clears)
%!     espera (0);
%!     assert (loaded (), [true true]);
%!     eval ([clears{i,1} ';']);
%!     assert (isequal (loaded (), ! [clears{i,2} clears{i,2}]), 'loaded after %s: %d %d', clears{i,1}, loaded ());
%!     t0 = reloj ();
%!     t1 = espera (0.5);
%!     assert (t0 >= previous && t1 - t0 >= 0.5, 'after %s: %.17g %.17g %.17g', clears{i,1}, previous, t0, t1);
%!     previous = t1;
%!     message = '';
%!     try
%!       espera (NaN);
%!     catch err
%!       message = err.message;
%!     end
%!     assert (numel (message) >= numel (no_deadline)
%!             && strcmp (message(end-numel (no_deadline)+1:end), no_deadline),
%!             'after %s: [%s]', clears{i,1}, message);
%!   end
%! end
