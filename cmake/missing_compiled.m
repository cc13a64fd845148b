% Calling this function runs the compiled one beside this file (.mexw64,
% .mexa64 or .mex), which MATLAB and Octave both prefer to it. This body runs
% only where there is none for this host, and says what to do. The build puts
% it (cmake/missing_compiled.m) into each compiled function's help file, with
% the release's version.
name = mfilename;
release = '@TOOLBOX_VERSION@';
folder = fileparts(mfilename('fullpath'));
id = [name ':noCompiledFunction'];
if exist('OCTAVE_VERSION', 'builtin')
  error(id, ['No compiled %s for GNU Octave in %s (Octave does not run MATLAB''s .mexw64 and .mexa64 ' ...
             'files). Install the Octave package, which builds it: pkg install reloj-espera-%s.tar.gz, ' ...
             'then pkg load reloj-espera.'], name, folder, release);
elseif any(strcmp(mexext, {'mexw64', 'mexa64'}))
  error(id, '%s.%s, the compiled %s, is missing from %s. Unzip reloj-espera-%s-matlab.zip again: it holds it.', ...
        name, mexext, name, folder, release);
else
  error(id, ['There is no prebuilt %s for this platform (%s): the release has builds for 64-bit Windows ' ...
             'and Linux. build_mex builds one from the sources, in the src folder of ' ...
             'reloj-espera-%s.tar.gz: cd to that folder, then build_mex(''%s'').'], name, mexext, release, folder);
end
