function varargout = hasta(varargin)
% hasta  Wait until a time on reloj's scale, sleeping first, and return when the wait ended.
%
%   t = hasta(deadline)
%
%   Waits until deadline, a time in counter milliseconds on the scale of
%   reloj (reloj() + 10 is 10 ms from now). While the deadline is far it
%   sleeps on the system's timer, so it keeps no processor busy; for the
%   last stretch it reads the counter in a tight loop, as espera does, so
%   that, unless the system takes the processor away, it ends within about a
%   counter reading of the deadline. The stretch is learned from how late
%   the system wakes this session's sleeps: about 2 ms at first, less on a
%   machine that wakes promptly. A deadline less than that and a millisecond
%   away is spun for all the way, as espera does.
%
%   Ctrl+C ends a wait within about 10 ms. In MATLAB hasta stops with the
%   error "hasta was interrupted before the end of its wait.", identifier
%   hasta:interrupted, which a catch should pass on:
%       if strcmp(err.identifier, 'hasta:interrupted'), rethrow(err), end
%   In Octave it stops as pause does: the whole command ends, and no try
%   catches it. Either way the next command runs as usual.
%
%   Returns t, the time at which the wait ended, as a 1x1 double, in
%   counter milliseconds: t >= deadline, compared on reloj's scale. A
%   deadline already past returns at once, with the time of the call.
%
%   deadline is a double array; its first element is the deadline (for a
%   complex number, its real part). hasta refuses any other class, an empty
%   array, NaN, Inf, -Inf, and deadlines past the counter's last reading
%   (584 years after its origin on Linux).
%
%   hasta takes one input and gives one output.
%
%   Examples:
%       t0 = reloj();
%       t1 = hasta(t0 + 500);   % half a second after t0
%       t1 - t0                 % 500 and a little more
%
%       % A stimulus every 10 ms on a fixed schedule, without drift:
%       t0 = reloj();
%       for k = 1:100
%           hasta(t0 + 10*k);
%           % ... the stimulus
%       end
%
%   See also reloj, espera.

% Calling hasta runs the compiled hasta beside this file (hasta.mexw64,
% hasta.mexa64 or hasta.mex), which MATLAB and Octave both prefer to it. This
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
