function varargout = hasta(varargin)
% hasta  Wait until a time on reloj's scale, sleeping first, and return when the wait ended.
%
%   t = hasta(deadline)
%
%   Waits until deadline, a time in counter milliseconds on the scale of
%   reloj (reloj() + 10 is 10 ms from now). While the deadline is far it
%   sleeps on the system's timer, so it keeps no processor busy; for the
%   last stretch it reads the counter in a tight loop, as espera does, so
%   that, when the system wakes it in time, it ends within about a counter
%   reading of the deadline. The stretch is learned from how late the system
%   woke this session's last few tens of sleeps, and is never more than 1 ms
%   (on Windows before 10 1803, whose timer is coarse, about 17 ms): 1 ms at
%   first, less on a machine that wakes promptly. At raised priority
%   (prioridad(1)) it is learned from the last 129 to 256 sleeps at that
%   priority and covers all but the latest wakeup of each 128, so that a
%   late wakeup that recurs is remembered. A deadline less than the stretch
%   and a millisecond away is spun for all the way, as espera does. A wakeup
%   later than that stretch makes a late end, later than espera's would be:
%   where the tail matters more than the processor, use espera, or
%   prioridad(1) on a busy machine.
%
%   Ctrl+C ends a wait within about 50 ms. In MATLAB hasta stops with the
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
%   The whole contract of these functions is in docs/reference.md, which
%   comes with the release (in the Octave package's folder: doc/reference.md).
%
%   See also reloj, espera, prioridad.

% @TOOLBOX_MISSING_COMPILED@
end
