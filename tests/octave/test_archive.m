function failures = test_archive(zip, release)
% test_archive(ZIP, RELEASE): the MATLAB archive ZIP unzipped, as an Octave
% user might, into a fresh folder whose name has a space, and put on the
% path. Octave runs none of the compiled functions in it, so each call runs
% the function's help file instead, which must end in an error that names
% the folder and the Octave package of RELEASE to install; and help shows
% each function's whole help text there, as beside the compiled functions.
% Returns how many checks failed.
  failures = 0;
  work = [tempname() ' un zipped'];
  mkdir(work);
  unzip(zip, work);
  folder = fullfile(work, 'reloj-espera');
  addpath(folder);
  install = ['pkg install reloj-espera-' release '.tar.gz'];
  % Each compiled function, its help, and calls of it as a script may make
  % them: with and without outputs and inputs.
  shapes = {'%s()', 't = %s();', '%s(1)', '[a, b] = %s(1, 2);'};
  for name = compiled_functions()
    file = fullfile(folder, [name{1} '.m']);
    if ~strcmp(which(name{1}), file)
      fprintf('%s is not %s but [%s]\n', name{1}, file, which(name{1}));
      failures = failures + 1;
    elseif ~strcmp(help(name{1}), help_block(file))
      fprintf('help %s is not the help text of %s:\n%s\n', name{1}, file, help(name{1}));
      failures = failures + 1;
    end
    for shape = shapes
      call = sprintf(shape{1}, name{1});
      err = [];
      try
        eval(call);
      catch err
      end
      if isempty(err)
        fprintf('%s: no error\n', call);
        failures = failures + 1;
      elseif ~strcmp(err.identifier, [name{1} ':noCompiledFunction']) ...
          || isempty(strfind(err.message, folder)) || isempty(strfind(err.message, install))
        fprintf('%s: %s [%s]\n', call, err.identifier, err.message);
        failures = failures + 1;
      end
    end
  end
  rmpath(folder);
  confirm_recursive_rmdir(false, 'local');
  rmdir(work, 's');
  fprintf('%s in Octave: %d failures\n', zip, failures);
end
