function failures = run_extension_tests(folder, tests)
% run_extension_tests(FOLDER, TESTS): runs the tests in TESTS (a file beside
% this one; default extension_tests.m), inside Octave, against the reloj and
% espera in FOLDER, and returns how many tests failed (a folder whose
% functions cannot be found counts as one failure).
%
%   octave-cli --norc --eval "addpath tests/octave; exit(run_extension_tests('dist/octave') > 0)"

  if nargin < 2
    tests = 'extension_tests.m';
  end
  addpath(folder);
  % Whatever else is on the path, the functions under test must be these.
  for name = {'reloj', 'espera'}
    found = which(name{1});
    if ~strcmp(found, fullfile(folder, [name{1} '.mex']))
      printf('%s is not the extension in %s but [%s]\n', name{1}, folder, found);
      failures = 1;
      return;
    end
  end
  here = fileparts(mfilename('fullpath'));
  [passed, total] = test(fullfile(here, tests), 'quiet', stdout);
  failures = total - passed;
  printf('%s, %s: %d of %d tests passed\n', folder, tests, passed, total);
end
