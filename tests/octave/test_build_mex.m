function failures = test_build_mex(root)
% test_build_mex(ROOT): builds reloj and espera with ROOT/build_mex into a
% fresh temporary folder, as a user would, then runs the extension tests
% against what it built and checks that it is linked hardened. Returns how
% many tests failed. The folder's name has a space, which Octave's mkoctfile
% cannot take in its paths.
  outdir = [tempname() ' built'];
  addpath(root);
  try
    build_mex(outdir);
    failures = run_extension_tests(outdir);
    % Linked hardened, as the built extensions are.
    files = sprintf(' "%s"', fullfile(outdir, 'reloj.mex'), fullfile(outdir, 'espera.mex'));
    failures += system(['sh "' fullfile(root, 'tests', 'check_hardened.sh') '"' files]) ~= 0;
  catch err
    printf('build_mex failed: %s\n', err.message);
    failures = 1;
  end
  if exist(outdir, 'dir')
    confirm_recursive_rmdir(false, 'local');
    rmdir(outdir, 's');
  end
end
