% The functions in Octave: one time scale for both, and how late a 1 ms
% espera ends next to a 1 ms pause, measured with reloj.
%   octave-cli --norc demo/demo.m
addpath(fullfile(fileparts(mfilename('fullpath')), '..', 'dist', 'octave'));

reloj(); espera(0);  % the first calls load the extensions
t0 = reloj();
t1 = espera(5);
t2 = reloj();
fprintf('t0 = reloj()       %.4f ms\n', t0);
fprintf('t1 = espera(5)     %.4f ms\n', t1);
fprintf('t2 = reloj()       %.4f ms\n', t2);
fprintf('t1 - t0            %.4f ms (at least 5)\n', t1 - t0);
fprintf('t2 - t1            %.4f ms (one scale: never below 0)\n\n', t2 - t1);

% The calendar, read with the counter: when t was, on the system clock.
[t, utc, incierto, error_sistema] = fecha();
fprintf('[t, utc, incierto, error_sistema] = fecha()\n');
fprintf('  at reloj %.4f ms the system clock showed %s UTC (utc %.3f ms since 1970),\n', t, ...
        strftime('%Y-%m-%d %H:%M:%S', gmtime(utc / 1000)), utc);
fprintf('  read within %.3f us of t; the system says of its clock: %g (ms; Inf: not synchronised)\n\n', ...
        incierto * 1000, error_sistema);

% How long after the requested 1 ms each call returns, over n calls; espera(0)
% shows what calling a function and reloj from Octave costs by itself.
n = 200;
late = zeros(n, 3);
for i = 1:n
  s = reloj(); espera(1);     late(i, 1) = reloj() - s - 1;
  s = reloj(); pause(0.001);  late(i, 2) = reloj() - s - 1;
  s = reloj(); espera(0);     late(i, 3) = reloj() - s;
end
late = sort(late) * 1000;  % microseconds
pick = @(p) late(max(1, round(p * n)), 1:2);
fprintf('Lateness of a 1 ms wait, %d calls each, in microseconds:\n', n);
fprintf('                   espera(1)   pause(0.001)\n');
fprintf('  median        %12.1f %14.1f\n', pick(0.5));
fprintf('  90th pct      %12.1f %14.1f\n', pick(0.9));
fprintf('  worst         %12.1f %14.1f\n', late(end, 1:2));
fprintf('(of which calling from Octave, as espera(0) shows: %.1f, median)\n', late(round(n / 2), 3));
