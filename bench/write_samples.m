## write_samples (FILE, WAY, D, LATE_US)
##
## Every wait's lateness, LATE_US in microseconds, of one way of waiting at a
## duration of D ms, as lines of the open samples file FILE
## (platform,wait,duration_ms,lateness_us, the platform "octave"), which
## bench/summarise.m reads as it does every other wait. The first call on a
## file writes its header line.

function write_samples (file, way, d, late_us)
  if (ftell (file) == 0)
    fprintf (file, "platform,wait,duration_ms,lateness_us\n");
  endif
  fprintf (file, ["octave," way ",%g,%.4f\n"], [repmat(d, 1, numel (late_us)); late_us(:)']);
endfunction
