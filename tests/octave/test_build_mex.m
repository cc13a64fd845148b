function failures = test_build_mex(root, inputs)
% test_build_mex(ROOT, INPUTS): copies what build_mex builds from (INPUTS:
% the files and folders of ROOT, separated by spaces) into a fresh folder,
% and builds the compiled functions from there with its build_mex into another, as
% a user would, with compiler and linker flags of the user's own in the
% environment. Then runs the suite (tests/suite) against what it built, and
% checks that the user's flags were used and ours prevailed, that it
% exports and imports what the CMake build does and is linked hardened, and that the build left nothing in the temporary folder.
% Returns how many checks failed.
%
% Both folders are made in the temporary folder, with names that have
% spaces and letters outside ASCII, none of which mkoctfile can take in its
% paths; CTest gives the temporary folder and HOME such names too.
  failures = 0;
  % A temporary folder of the test's own, so that what the build leaves in it
  % is seen; the build's are made in it.
  temporary = [tempname() ' tmp ñandú 計時'];
  mkdir(temporary);
  previous_tmpdir = getenv('TMPDIR');
  setenv('TMPDIR', temporary);
  sources = [tempname() ' fuentes ñandú 計時'];
  outdir = [tempname() ' salida Ünïcode'];
  mkdir(sources);
  for name = strsplit(strtrim(inputs), ' ')
    copyfile(fullfile(root, name{1}), fullfile(sources, name{1}));
  end
  % The user's flags: a frame pointer, a record of the options each object
  % was compiled with, fast math (which ours must undo), and a library name.
  user = {'CXXFLAGS', '-O2 -fno-omit-frame-pointer -frecord-gcc-switches -ffast-math'
          'LDFLAGS',  '-Wl,-soname,user-ldflags'};
  previous = cellfun(@getenv, user(:, 1), 'UniformOutput', false);
  for k = 1:rows(user)
    setenv(user{k, :});
  end
  addpath(sources);
  try
    build_mex(outdir);
    built = true;
  catch err
    printf('build_mex failed: %s\n', err.message);
    failures += 1;
    built = false;
  end
  rmpath(sources);
  for k = 1:rows(user)
    restore_env(user{k, 1}, previous{k});
  end

  if built
    failures += run_suite(outdir);
    files = cellfun(@(name) sprintf('"%s"', fullfile(outdir, [name '.mex'])), compiled_functions(), ...
                    'UniformOutput', false);
    % Exports, host calls and hardening, as the CMake build's are checked.
    failures += check_imports(outdir);
    % What each extension was built with, from the options the compiler
    % recorded (it leaves out those a later one undoes) and the library's
    % dynamic section.
    checks = {
      % what                          command                          text                        found
      'the user''s compiler flags',   'readelf -p .GCC.command.line',  '-fno-omit-frame-pointer',  true
      'no contraction',               'readelf -p .GCC.command.line',  '-ffp-contract=off',        true
      'fast math undone',             'readelf -p .GCC.command.line',  '-fno-fast-math',           true
      'no fast math',                 'readelf -p .GCC.command.line',  '-ffast-math',              false
      'the user''s linker flags',     'readelf -d',                    '[user-ldflags]',           true
    };
    for file = files
      for k = 1:rows(checks)
        [what, command, text, wanted] = checks{k, :};
        [~, output] = system([command ' ' file{1}]);
        if isempty(strfind(output, text)) == wanted
          printf('%s: %s: [%s] %s in:\n%s\n', file{1}, what, text, ...
                 merge(wanted, 'missing', 'present'), output);
          failures += 1;
        end
      end
    end
  end

  confirm_recursive_rmdir(false, 'local');
  for folder = {sources, outdir}
    if exist(folder{1}, 'dir')
      rmdir(folder{1}, 's');
    end
  end
  left = dir(temporary);
  left = setdiff({left.name}, {'.', '..'});
  if ~isempty(left)
    printf('build_mex left in the temporary folder: %s\n', strjoin(left, ', '));
    failures += 1;
  end
  rmdir(temporary, 's');
  restore_env('TMPDIR', previous_tmpdir);
  printf('build_mex from [%s] into [%s]: %d failures\n', sources, outdir, failures);
end

function restore_env(name, previous)
  if isempty(previous)
    unsetenv(name);
  else
    setenv(name, previous);
  end
end
