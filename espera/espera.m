function varargout = espera(varargin)
% espera  Wait a number of milliseconds, busily, and return when the wait ended.
%
%   t = espera(ms)
%
%   Waits ms milliseconds, truncated to whole ticks of the high-resolution
%   performance counter, by reading the counter in a tight loop. It never
%   sleeps, so, unless the system takes the processor away, it ends within
%   one counter reading of its deadline, unlike pause; meanwhile it keeps one
%   processor core busy.
%
%   Ctrl+C ends a wait within about a millisecond. In MATLAB espera stops
%   with the error "espera was interrupted before the end of its wait.",
%   identifier espera:interrupted, which a catch should pass on:
%       if strcmp(err.identifier, 'espera:interrupted'), rethrow(err), end
%   In Octave it stops as pause does: the whole command ends, and no try
%   catches it. Either way the next command runs as usual.
%
%   Returns t, the time at which the wait ended, as a 1x1 double, in
%   counter milliseconds: the scale of reloj, so t can be compared with, or
%   subtracted from, results of reloj.
%
%   ms is a double array; its first element is the duration (for a complex
%   number, its real part). Zero or a negative duration means no wait: t is
%   then the time of the call. espera refuses any other class, an empty
%   array, NaN, Inf, and durations of 2^63 counter ticks or more (292 years
%   on Linux).
%
%   espera takes one input and gives one output.
%
%   Examples:
%       t0 = reloj();
%       t1 = espera(2.5);
%       t1 - t0               % 2.5 and a little more: what the calls cost
%
%       % A step every 20 ms on a fixed schedule, without drift:
%       next = reloj();
%       for k = 1:5
%           next = next + 20;
%           espera(next - reloj());
%       end
%
%   The whole contract of these functions is in docs/reference.md, which
%   comes with the release (in the Octave package's folder: doc/reference.md).
%
%   See also reloj.

% @TOOLBOX_MISSING_COMPILED@
end
