## octave_fecha (MEXDIR, OUTDIR, CALLS)
##
## fecha as a script in GNU Octave sees it: CALLS calls (default 10,000) with
## its four outputs, Octave's time() read right after each; and 20 readings
## of the shell's `date +%s%N`, each between two calls of fecha. Appends to
## OUTDIR/fecha.csv a line with the columns fecha_pairs writes (the system
## clock after the call is time()), and writes OUTDIR/fecha_date.csv: each
## date reading less the utc of the call before, and the utc of the call
## after less it, in ms (both at least 0 where date reads the same clock).

function octave_fecha (mexdir, outdir, calls)
  if (nargin < 3)
    calls = 10000;
  endif
  addpath (mexdir);
  [t, utc] = fecha ();  # loads it
  incierto_ns = after_us = zeros (1, calls);
  for i = 1:calls
    [t, utc, incierto, error_sistema] = fecha ();
    w = time ();
    incierto_ns(i) = 1e6 * incierto;
    after_us(i) = 1e3 * (1000 * w - utc);
    if (i == 1)
      offset = utc - t;
    endif
  endfor
  q = @(x, p) sort (x)(max (1, ceil (p * numel (x))));
  file = fullfile (outdir, "fecha.csv");
  new = ! exist (file, "file");
  out = fopen (file, "a");
  if (new)
    fprintf (out, "label,calls,incierto_p50_ns,incierto_p99_ns,incierto_max_ns,after_p50_us,after_min_us,");
    fprintf (out, "after_max_us,error_sistema_ms,utc_minus_t_ms\n");
  endif
  fprintf (out, "octave,%d,%.1f,%.1f,%.1f,%.2f,%.2f,%.2f,%g,%.6f\n", calls, q (incierto_ns, 0.5),
           q (incierto_ns, 0.99), max (incierto_ns), q (after_us, 0.5), min (after_us), max (after_us),
           error_sistema, offset);
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
