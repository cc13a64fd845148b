function failures = run_extension_tests(folder, tests)
% run_extension_tests(FOLDER, TESTS): runs the test files in TESTS (a file
% beside this one, or a cell of them) with Octave's test function, against
% the reloj and espera in FOLDER, and returns how many tests failed (a
% folder whose functions cannot be found counts as one failure). The checks
% of reloj and espera themselves are in tests/suite, for both hosts.
%
%   octave-cli --norc --eval "addpath tests/octave; exit(run_extension_tests('dist/octave', 'sondeo_tests.m') > 0)"

  tests = cellstr(tests);
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
  failures = 0;
  for file = tests
    [passed, total] = test(fullfile(here, file{1}), 'quiet', stdout);
    failures += total - passed;
    printf('%s, %s: %d of %d tests passed\n', folder, file{1}, passed, total);
  end
end
