function varargout = reloj(varargin)
% reloj  Present reading of the high-resolution performance counter, in ms.
%
%   t = reloj()
%
%   Returns the present reading of the performance counter as a 1x1 double,
%   in counter milliseconds: the reading divided by the counter's frequency,
%   times 1000. The scale counts from the counter's own origin (usually when
%   the machine started), not from the wall clock, so only differences between
%   results mean anything. espera returns its end times on the same scale: a
%   result of one can be subtracted from a result of the other.
%
%   Successive results never decrease. The counter ticks every nanosecond on
%   Linux and usually every 100 ns on Windows.
%
%   reloj takes no input and gives one output.
%
%   Example: how long a piece of code takes, in milliseconds
%       t0 = reloj();
%       x = inv(rand(200));
%       elapsed = reloj() - t0
%
%   See also espera.

% Calling reloj runs the compiled reloj beside this file (reloj.mexw64,
% reloj.mexa64 or reloj.mex), which MATLAB and Octave both prefer to it. This
% body runs only where there is none for this host, and says what to do. The
% release's version is filled in when the file is copied beside the compiled
% functions.
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
end
