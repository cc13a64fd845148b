function pre_install(desc)
% pkg runs this before it builds the package, which takes mkoctfile, a C++
% compiler and Octave's headers. When one of them is missing, stop here,
% naming it and what to install, rather than leave the user with the
% compiler's output and make's failure.
  cause = missing_tool();
  if ~isempty(cause)
    error('%s cannot be built here: %s\n%s', desc.name, cause, remedy());
  end
end

% What keeps this Octave from building compiled functions, or ''.
function cause = missing_tool()
  cause = '';
  program = fullfile(__octave_config_info__('bindir'), 'mkoctfile');
  status = 1;
  if exist(program, 'file')
    [cxx, status] = mkoctfile('-p', 'CXX');
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
  headers = mkoctfile('-p', 'OCTINCLUDEDIR');
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
