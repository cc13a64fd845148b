function failures = test_refused_install(tarball, missing)
% test_refused_install(TARBALL, MISSING): installs the Octave package with
% pkg install where a tool the build takes is missing, once for each named
% in MISSING (separated by spaces), into a private temporary prefix. pkg must
% stop before building, its message naming the cause and what to install,
% and must install nothing. Returns how many checks failed.
%
% The compiler and the headers go missing here, through the environment
% that mkoctfile reads, and make through a PATH of every program but make;
% mkoctfile itself must be hidden by the caller.
  cases = {
    % missing     variable         value                   the message names, and the remedy
    'compiler',   'CXX',           '/nonexistent/g++',     '"/nonexistent/g++", does not start', 'sudo apt install octave-dev'
    'headers',    'OCTINCLUDEDIR', '/nonexistent/include', 'no mex.h in /nonexistent/include',   'sudo apt install octave-dev'
    'make',       'PATH',          @all_but_make,          'make, which builds it, does not start', 'sudo apt install make'
    'mkoctfile',  '',              '',                     'no mkoctfile that runs',             'sudo apt install octave-dev'
  };
  failures = 0;
  prefix = private_pkg_prefix('pkg');
  for what = strsplit(strtrim(missing), ' ')
    row = find(strcmp(cases(:, 1), what{1}));
    [~, variable, value, cause, remedy] = cases{row, :};
    folder = '';
    if is_function_handle(value)
      folder = value();
      value = folder;
    end
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
    if ~isempty(folder)
      confirm_recursive_rmdir(false, 'local');
      rmdir(folder, 's');
    end
    if isempty(strfind(message, cause)) || isempty(strfind(message, remedy))
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

% A folder for PATH with a link to every program on PATH but make.
function folder = all_but_make()
  folder = tempname();
  mkdir(folder);
  for place = strsplit(getenv('PATH'), pathsep())
    programs = dir(place{1});
    for name = setdiff({programs(~[programs.isdir]).name}, 'make')
      link = fullfile(folder, name{1});
      if ~exist(link, 'file')
        symlink(fullfile(place{1}, name{1}), link);
      end
    end
  end
end
