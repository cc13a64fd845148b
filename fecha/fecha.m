function varargout = fecha(varargin)
% fecha  The counter and the system clock read together, to put reloj's times on the calendar.
%
%   [t, utc, incierto, error_sistema] = fecha()
%
%   reloj's scale counts from the machine's start: right for intervals, but
%   of no use for lining a session's events up with a log kept on another
%   computer (an EEG amplifier's, an eye tracker's) or a video. fecha reads
%   the counter and the system's clock, which the system's time service
%   (NTP, PTP, Windows Time) keeps in step with the world's, together:
%     t              a time on reloj's scale, in counter milliseconds;
%     utc            what the system clock showed at t, in milliseconds
%                    since 1970-01-01 00:00 UTC (POSIX time: leap seconds
%                    not counted);
%     incierto       how closely the two were read together, in ms: the
%                    clock was read within t - incierto and t + incierto;
%     error_sistema  what the system says of its clock, in ms: its time
%                    service's estimate of the clock's error where it is
%                    synchronised to a time source (Linux), Inf where the
%                    system says it is not synchronised, NaN where the
%                    system does not say (Windows, macOS).
%   Each output is a 1x1 double, and each is optional.
%
%   An event at reloj time te happened at utc + (te - t) on the calendar.
%   fecha reads the counter, the clock and the counter again, up to 10
%   times within a millisecond, and keeps the try whose counter readings
%   are closest: t is their midpoint and incierto half their distance. On
%   Windows before Windows 8, whose clock shows the time of its last update
%   only, utc is the middle of that update's interval and incierto covers
%   it (about 8 ms).
%
%   Over a long session the counter and the system clock drift apart (the
%   time service corrects the clock, and the two count at slightly
%   different rates): call fecha at the start and at the end, and map a
%   time between them along the straight line through the two pairs.
%
%   fecha takes no input and gives at most four outputs.
%
%   Examples:
%       [t, utc] = fecha();
%       te = reloj();                                % an event
%       when = utc + (te - t);                       % ms since 1970, UTC
%       % MATLAB:
%       datetime(when / 1000, 'ConvertFrom', 'posixtime', 'TimeZone', 'UTC')
%       % GNU Octave:
%       strftime('%Y-%m-%d %H:%M:%S UTC', gmtime(when / 1000))
%
%   The whole contract of these functions is in docs/reference.md, which
%   comes with the release (in the Octave package's folder: doc/reference.md).
%
%   See also reloj, sondeo.

% @TOOLBOX_MISSING_COMPILED@
end
