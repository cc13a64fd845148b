## write_lateness (LAT, CUR, WAY, D, LATE_US)
##
## One way of waiting at one duration, in the files make bench tables and
## plots: a row of LAT (lateness_*.csv: the waits, then the median, 90th,
## 99th and 99.9th percentiles of nearest rank and the worst) and, in CUR
## (exceedance_*.csv), each distinct lateness with the share of waits at
## least that late. LATE_US holds every wait's lateness in microseconds.
## A percentile that too few waits leave any wait above (the 99th below 100
## waits) would be the worst: it is NaN, as in sondeo, "-" in the tables.
## The first call on a file writes its header line.

function write_lateness (lat, cur, way, d, late_us)
  if (ftell (lat) == 0)
    fprintf (lat, "platform,wait,duration_ms,waits,p50_us,p90_us,p99_us,p99_9_us,max_us,read_ns,tick_ns,switched_pct\n");
  endif
  if (ftell (cur) == 0)
    fprintf (cur, "platform,wait,duration_ms,lateness_us,share_at_least\n");
  endif
  s = sort (late_us(:)');
  n = numel (s);
  p = arrayfun (@(share) rank_value (s, share), [0.5 0.9 0.99 0.999]);
  fprintf (lat, "octave,%s,%g,%d,%.4f,%.4f,%.4f,%.4f,%.4f,,,\n", way, d, n, p, s(end));
  first = [true, diff(s) != 0];
  for i = find (first)
    fprintf (cur, "octave,%s,%g,%.4f,%.6g\n", way, d, s(i), (n - i + 1) / n);
  endfor
endfunction

## Nearest rank; NaN where no value would be left above it.
function v = rank_value (sorted, p)
  n = numel (sorted);
  if (n * (1 - p) < 1 - 1e-9)
    v = NaN;
  else
    v = sorted(max (1, ceil (p * n)));
  endif
endfunction
