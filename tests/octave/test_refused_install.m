function failures = test_refused_install(tarball, missing)
% test_refused_install(TARBALL, MISSING): installs the Octave package with
% pkg install where a tool the build takes is missing, once for each named
% in MISSING (separated by spaces), into a private temporary prefix. pkg must
% stop before building, its message naming the cause and what to install,
% and must install nothing. Returns how many checks failed.
%
% The compiler and the headers go missing here, through the environment
% that mkoctfile reads; mkoctfile itself must be hidden by the caller.
  cases = {
    % missing     variable         value                   the message names
    'compiler',   'CXX',           '/nonexistent/g++',     '"/nonexistent/g++", does not start'
    'headers',    'OCTINCLUDEDIR', '/nonexistent/include', 'no mex.h in /nonexistent/include'
    'mkoctfile',  '',              '',                     'no mkoctfile that runs'
  };
  failures = 0;
  prefix = private_pkg_prefix('pkg');
  for what = strsplit(strtrim(missing), ' ')
    row = find(strcmp(cases(:, 1), what{1}));
    [~, variable, value, cause] = cases{row, :};
    if ~isempty(variable)
      previous = getenv(variable);
      setenv(variable, value);
    end
    message = '';
    try
      pkg('install', '-local', tarball);
    catch err
      message = err.message;
    end
    if ~isempty(variable) && isempty(previous)
      unsetenv(variable);
    elseif ~isempty(variable)
      setenv(variable, previous);
    end
    if isempty(strfind(message, cause)) || isempty(strfind(message, 'sudo apt install octave-dev'))
      printf('pkg install without the %s ended with [%s]\n', what{1}, message);
      failures += 1;
    end
  end
  left = leave_pkg_prefix(prefix);
  if ~isempty(left)
    printf('installed although it could not be built: %s\n', strjoin(left, ', '));
    failures += 1;
  end
  printf('package %s, missing %s: %d failures\n', tarball, missing, failures);
end
