## signal_all (PIDS, SIG): sends every process of PIDS (the bench's busy
## processes) the signal SIG; one that has ended is an error: the blocks it
## should have loaded would not be what they say.
function signal_all (pids, sig)
  for pid = pids
    if (kill (pid, sig) != 0)
      error ("bench: busy process %d is gone (it ends on its own after a set time)", pid);
    endif
  endfor
endfunction
