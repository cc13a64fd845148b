function failures = run_suite(folder)
% run_suite  The checks of the toolbox's functions, and of what the README and
% docs/reference.md say of them, in MATLAB and GNU Octave alike.
%
%   run_suite(FOLDER) puts FOLDER first on the path, makes sure that the
%   compiled functions are those in it, runs every check against
%   them and sondeo beside them, and prints one line per check, then
%   "N passed, N failed". A check
%   that this host cannot make prints a line saying why and counts as
%   neither. Called without an output, it ends with an error when a check
%   failed, so that a CI step running it fails; failures = run_suite(FOLDER)
%   returns how many failed instead. The path is restored afterwards.
%
%   Octave:  octave-cli --eval "addpath('tests/suite'); run_suite('dist/octave')"
%   MATLAB:  matlab -batch "addpath('tests/suite'); run_suite('C:\reloj-espera')"

  saved_path = path();
  restore_path = onCleanup(@() path(saved_path));
  addpath(folder);
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    host = ['GNU Octave ' OCTAVE_VERSION()];
  else
    host = ['MATLAB ' version()];
  end
  fprintf('%s in %s, %s\n', strjoin(compiled_functions(), ', '), folder, host);

  passed = 0;
  failures = 0;
  % Each group of checks is a function that returns them as {name, check},
  % and a setup (or []) whose result is handed to each of its checks.
  for group = {@reloj_espera_checks, @hasta_checks, @prioridad_checks, @fecha_checks, @sondeo_checks, @docs_checks}
    [checks, setup] = group{1}();
    data = [];
    setup_error = [];
    if ~isempty(setup)
      try
        data = setup(folder);
      catch setup_error
      end
    end
    for i = 1:size(checks, 1)
      % The list afresh for each check: some checks clear functions, and a
      % handle to a local function may not outlive that.
      checks = group{1}();
      name = checks{i, 1};
      check = checks{i, 2};
      try
        if ~isempty(setup_error)
          rethrow(setup_error);
        end
        % Whatever else is on the path, and after whatever an earlier check
        % cleared, the functions checked must be the ones in folder.
        compiled_in(folder);
        if isempty(setup)
          check(folder);
        else
          check(folder, data);
        end
        passed = passed + 1;
        fprintf('ok    %s\n', name);
      catch err
        if strcmp(err.identifier, 'suite:skip')
          fprintf('skip  %s: %s\n', name, err.message);
        else
          failures = failures + 1;
          fprintf('FAIL  %s: %s\n', name, err.message);
        end
      end
    end
  end
  fprintf('%d passed, %d failed\n', passed, failures);
  if nargout == 0 && failures > 0
    error('suite:failed', '%d checks failed in %s', failures, folder);
  end
end

% Raises an error unless each compiled function resolves to the one in
% folder. which() may name the folder by another path than the one given
% (a temporary folder reached through a symbolic link, as on macOS), so
% files at different paths must at least hold the same bytes.
function compiled_in(folder)
  for name = compiled_functions()
    want = fullfile(folder, [name{1} '.' mexext()]);
    found = which(name{1});
    if ~strcmp(found, want) && ~same_bytes(found, want)
      error('suite:path', '%s is not the compiled function %s but [%s]', name{1}, want, found);
    end
  end
end

function same = same_bytes(a, b)
  same = false;
  fa = fopen(a, 'r');
  if fa < 0
    return;
  end
  fb = fopen(b, 'r');
  if fb < 0
    fclose(fa);
    return;
  end
  same = isequal(fread(fa, Inf, 'uint8=>uint8'), fread(fb, Inf, 'uint8=>uint8'));
  fclose(fa);
  fclose(fb);
end
