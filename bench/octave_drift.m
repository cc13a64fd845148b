## octave_drift (MEXDIR, FILE, MINUTES, EVERY_S)
##
## How far reloj's scale and the system clock move apart over a long session,
## as fecha sees them in GNU Octave: a pair every EVERY_S seconds (default 10)
## for MINUTES minutes (default 60), waiting between them with hasta. Writes
## one line per pair to FILE: t, utc, utc - t, incierto (ms), error_sistema,
## and Octave's time() just after, in ms. Not part of make bench, which takes
## minutes: run by hand, e.g.
##   octave-cli --norc --eval "addpath('bench'); octave_drift('dist/octave', 'drift.txt')"

function octave_drift (mexdir, file, minutes, every_s)
  if (nargin < 3)
    minutes = 60;
  endif
  if (nargin < 4)
    every_s = 10;
  endif
  addpath (mexdir);
  out = fopen (file, "w");
  fprintf (out, "%% started %s UTC\n", strftime ("%Y-%m-%d %H:%M:%S", gmtime (time ())));
  t0 = reloj ();
  for k = 0:floor (60 * minutes / every_s)
    hasta (t0 + 1000 * every_s * k);
    [t, utc, incierto, error_sistema] = fecha ();
    w = time () * 1000;
    fprintf (out, "%.6f %.6f %.6f %.6f %g %.6f\n", t, utc, utc - t, incierto, error_sistema, w);
    fflush (out);
  endfor
  fclose (out);
endfunction
