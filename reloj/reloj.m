function varargout = reloj(varargin)
% reloj  Present reading of the high-resolution performance counter, in ms.
%
%   t = reloj()
%
%   Returns the present reading of the performance counter as a 1x1 double,
%   in counter milliseconds: the reading divided by the counter's frequency,
%   times 1000. The scale counts from the counter's own origin (usually when
%   the machine started), not from the wall clock: subtract one result from
%   another, and let fecha put a result on the system clock. espera, hasta
%   and fecha give their times on the same scale. On Linux and Windows the
%   counter is the monotonic clock other programs read (C++'s steady_clock),
%   so t / 1000 is a Lab Streaming Layer timestamp on this machine; on macOS
%   it is not (docs/reference.md says how to line the two up there).
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
%   The whole contract of these functions is in docs/reference.md, which
%   comes with the release (in the Octave package's folder: doc/reference.md).
%
%   See also espera, hasta, fecha.

% @TOOLBOX_MISSING_COMPILED@
end
