function varargout = prioridad(varargin)
% prioridad  Raise this session's scheduling priority for precise waits, or give it back.
%
%   anterior = prioridad(nivel)
%   p = prioridad()
%
%   On a busy machine the system shares the processors among every program
%   that wants one: a wait that sleeps then wakes milliseconds late, and one
%   that spins loses the processor for whole scheduler slices. At level 1
%   the thread that runs your script comes first, and espera and hasta end
%   about as precisely as on an idle machine.
%
%   prioridad(1) raises the priority of the calling thread (the thread that
%   runs your script):
%     Linux    the real-time policy SCHED_FIFO, at priority 1, the lowest
%              real-time one, below audio servers; programs the session
%              starts (system, unix) run at normal priority.
%     Windows  the process's high priority class, the thread's highest
%              priority within it, and no power throttling of the process.
%     macOS    the user-interactive quality of service.
%   prioridad(0) gives back exactly what the raise found. Both return the
%   level before the call, 0 or 1; prioridad() returns the present level and
%   changes nothing.
%
%   The level stays until prioridad(0), clear prioridad, or the end of the
%   session: a script that stops with an error at level 1 leaves it raised.
%   So raise it inside a function and give it back with onCleanup, which
%   runs when the function ends, also on an error (a script's variables
%   outlive an error, so there only clear c or prioridad(0) gives it back):
%       p = prioridad(1);
%       c = onCleanup(@() prioridad(p));
%       % ... the waits
%
%   Where the system refuses, prioridad stops with an error, identifier
%   prioridad:denied, that says what is missing, and nothing changes. On
%   Linux a user needs a real-time limit: a line such as
%       youruser - rtprio 1
%   in a file in /etc/security/limits.d/, effective at the next login; and
%   prioridad refuses where the kernel's real-time throttling is off
%   (sched_rt_runtime_us is -1), since a spin could then hold a processor
%   for good.
%
%   nivel is 0 or 1, one double. prioridad takes at most one input and
%   gives one output.
%
%   Example, in a function:
%       try
%           p = prioridad(1);
%       catch err
%           if ~strcmp(err.identifier, 'prioridad:denied'), rethrow(err), end
%           p = 0;  % at normal priority: waits may end late on a busy machine
%       end
%       c = onCleanup(@() prioridad(p));
%       t0 = reloj();
%       for k = 1:100
%           hasta(t0 + 10 * k);
%       end
%
%   The whole contract of these functions is in docs/reference.md, which
%   comes with the release (in the Octave package's folder: doc/reference.md).
%
%   See also espera, hasta, sondeo.

% @TOOLBOX_MISSING_COMPILED@
end
