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
%   The whole contract of these functions is in docs/reference.md, which
%   comes with the release (in the Octave package's folder: doc/reference.md).
%
%   See also espera, hasta, fecha.

% @TOOLBOX_MISSING_COMPILED@
end
