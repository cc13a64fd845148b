function pre_install(desc)
% pkg runs this before it builds the package, which takes mkoctfile, a C++
% compiler, Octave's headers and make. When one of them is missing, stop
% here, naming it and what to install, rather than leave the user with the
% compiler's output and make's failure.
  cause = missing_tool();
  if ~isempty(cause)
    error('%s cannot be built here: %s\n%s', desc.name, cause, remedy());
  end
  [status, ~] = system('make --version 2>&1');
  if status ~= 0
    error('%s cannot be built here: make, which builds it, does not start.\n%s', ...
          desc.name, make_remedy());
  end
end

% What keeps this Octave from building compiled functions, or ''.
function cause = missing_tool()
  cause = '';
  program = fullfile(__octave_config_info__('bindir'), 'mkoctfile');
  status = 1;
  if exist(program, 'file')
    [cxx, status] = mkoctfile('-p', 'CXX');
    cxx = strtrim(cxx);  % some Octave releases (6.2) end it in a newline
  end
  if status ~= 0
    cause = sprintf('this Octave has no mkoctfile that runs (%s).', program);
    return;
  end
  [status, ~] = system([cxx ' --version 2>&1']);
  if status ~= 0
    cause = sprintf('the C++ compiler mkoctfile runs, "%s", does not start.', cxx);
    if ~isempty(getenv('CXX'))
      cause = [cause ' It is the environment''s CXX: unset it or correct it, or:'];
    end
    return;
  end
  headers = strtrim(mkoctfile('-p', 'OCTINCLUDEDIR'));
  if ~exist(fullfile(headers, 'mex.h'), 'file')
    cause = sprintf('Octave''s headers are missing (no mex.h in %s).', headers);
  end
end

function text = remedy()
  if ispc
    text = ['Octave''s installer for Windows (octave.org) brings all of it, its own ' ...
            'MinGW compiler included: reinstall Octave from it.'];
  elseif ismac
    text = ['The compiler: xcode-select --install. mkoctfile and the headers come ' ...
            'with Octave itself (e.g. brew install octave).'];
  else
    text = ['Install Octave''s development files, which bring all of it: on Debian ' ...
            'and Ubuntu, sudo apt install octave-dev (liboctave-dev on older ' ...
            'releases, such as Ubuntu 20.04); elsewhere, your distribution''s ' ...
            'Octave development package (e.g. octave-devel).'];
  end
end

% Octave's development files do not bring make.
function text = make_remedy()
  if ispc
    text = ['Octave''s installer for Windows (octave.org) brings it, with its own ' ...
            'MinGW compiler: reinstall Octave from it.'];
  elseif ismac
    text = 'xcode-select --install brings it, with the compiler.';
  else
    text = ['On Debian and Ubuntu: sudo apt install make; elsewhere, your ' ...
            'distribution''s make package.'];
  end
end
