## octave_fecha (MEXDIR, OUTDIR, CALLS)
##
## fecha as a script in GNU Octave sees it: CALLS calls (default 10,000) with
## its four outputs, Octave's time() read right after each; and 20 readings
## of the shell's `date +%s%N`, each between two calls of fecha. Appends to
## OUTDIR/fecha_samples.csv a line for each call, in the columns fecha_pairs
## writes (the system clock after the call is time()), and writes
## OUTDIR/fecha_date.csv: each date reading less the utc of the call before,
## and the utc of the call after less it, in ms (both at least 0 where date
## reads the same clock).

function octave_fecha (mexdir, outdir, calls)
  if (nargin < 3)
    calls = 10000;
  endif
  addpath (mexdir);
  [t, utc] = fecha ();  # loads it
  pairs = zeros (calls, 5);
  for i = 1:calls
    [t, utc, incierto, error_sistema] = fecha ();
    w = time ();
    pairs(i, :) = [t, utc, incierto, error_sistema, 1000 * w];
  endfor
  file = fullfile (outdir, "fecha_samples.csv");
  new = ! exist (file, "file");
  out = fopen (file, "a");
  if (new)
    fprintf (out, "label,incierto_ns,after_us,error_sistema_ms,utc_minus_t_ms\n");
  endif
  fprintf (out, "octave,%.1f,%.2f,%g,%.6f\n", [1e6 * pairs(:, 3), 1e3 * (pairs(:, 5) - pairs(:, 2)), pairs(:, 4), ...
                                               pairs(:, 2) - pairs(:, 1)]');
  fclose (out);

  out = fopen (fullfile (outdir, "fecha_date.csv"), "w");
  fprintf (out, "date_minus_utc_before_ms,utc_after_minus_date_ms\n");
  for i = 1:20
    [~, before] = fecha ();
    [status, text] = system ("date +%s%N");
    text = strtrim (text);
    [~, after] = fecha ();
    date_ms = str2double (text(1:end - 6)) + str2double (text(end - 5:end)) / 1e6;
    fprintf (out, "%.3f,%.3f\n", date_ms - before, after - date_ms);
  endfor
  fclose (out);
endfunction
