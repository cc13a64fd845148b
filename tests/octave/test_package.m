function failures = test_package(tarball, scripts)
% test_package(TARBALL, SCRIPTS): installs the Octave package with pkg
% install into a private temporary prefix (never the user's or the system's
% package lists), describes it, loads it, runs the suite (tests/suite) against
% what it installed, checks that the functions named in SCRIPTS (separated
% by spaces) come with their help, uninstalls it and checks that nothing of
% it is left. Returns how many checks failed.
  failures = 0;
  prefix = private_pkg_prefix('pkg ñandú');
  try
    pkg('install', '-local', tarball);
    % What pkg describe prints, and the Octave the package needs.
    pkg('describe', '-verbose', 'reloj-espera');
    description = pkg('describe', 'reloj-espera');
    needs = description{1}.depends;
    if numel(needs) ~= 1 || ~strcmp(needs{1}.package, 'octave') || ~strcmp(needs{1}.operator, '>=')
      printf('the package does not say which Octave it needs\n');
      failures += 1;
    end
    % The contract the help texts point to, in the package's folder.
    installed = pkg('list', 'reloj-espera');
    if ~exist(fullfile(installed{1}.dir, 'doc', 'reference.md'), 'file')
      printf('the package has no doc/reference.md in %s\n', installed{1}.dir);
      failures += 1;
    end
    pkg('load', 'reloj-espera');
    % The functions run from the package's folder of compiled functions.
    folder = fileparts(which('reloj'));
    if ~strncmp(folder, prefix, numel(prefix))
      printf('reloj is not the installed package''s but [%s]\n', which('reloj'));
      failures += 1;
    else
      failures += run_suite(folder) + check_imports(folder);
    end
    names = regexp(strtrim(scripts), '\s+', 'split');
    for name = names(! cellfun(@isempty, names))
      found = which(name{1});
      if ! strncmp(found, prefix, numel(prefix)) || isempty(get_help_text(name{1}))
        printf('%s is not the installed package''s, with its help, but [%s]\n', name{1}, found);
        failures += 1;
      end
    end
    pkg('unload', 'reloj-espera');
    pkg('uninstall', '-local', 'reloj-espera');
  catch err
    printf('pkg failed: %s\n', err.message);
    failures += 1;
  end
  % Only the (now empty) package lists may remain.
  left = leave_pkg_prefix(prefix);
  if ~isempty(left)
    printf('left after pkg uninstall: %s\n', strjoin(left, ', '));
    failures += 1;
  end
  printf('package %s: %d failures\n', tarball, failures);
end
