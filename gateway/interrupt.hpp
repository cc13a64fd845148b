// The host's interrupt request: Ctrl+C in the host asks the running call to
// stop. Each host keeps the request its own way, so one file per host,
// picked at the end of this header, finds it:
//   interrupt_octave.inc         GNU Octave: its own interrupt state
//   interrupt_libut_windows.inc  MATLAB on Windows: libut.dll, looked up at run time
//   interrupt_libut_weak.inc     MATLAB on Linux and macOS: libut, through weak references
// The hosts end an interrupted call differently: Octave's interrupt is an
// exception of its own, which no try catches and which stops the whole
// command, as Ctrl+C during pause does; MATLAB's is a request that the call
// polls, takes and answers with an error (interrupt_libut.inc).
// Only the functions that wait include it, so the others import nothing for it.
// MATLAB's calls (bool utIsInterruptPending(void), bool
// utSetInterruptPending(bool)) are not in its documented interface, so
// nothing may depend on finding them: without them a wait is as it was.
#pragma once

#include "gateway.hpp"

namespace gateway {

struct InterruptCalls {
    bool (*isPending)();       // whether the host asks the call to stop; may be null
    bool (*setPending)(bool);  // sets the request, returns the one before; may be null (always in Octave)
};

// The host's calls as this process has them now, found afresh on every use:
// nothing is kept between calls. Both null where the host has none.
inline InterruptCalls findInterruptCalls();

// For the busy wait: whether the host asks it to stop. The calls are found at
// the first question (a wait too short to ask never looks for them) and kept
// for this wait only.
struct InterruptPoll {
    bool searched = false;
    InterruptCalls calls{};
    bool operator()() {
        if (!searched) {
            calls = findInterruptCalls();
            searched = true;
        }
        return calls.isPending != nullptr && calls.isPending();
    }
};

// Ends the call that the host asked to stop, as this host ends interrupted
// calls; never returns. Where that is an error (MATLAB), it is identifier and
// message.
[[noreturn]] inline void endInterrupted(const char* identifier, const char* message);

}  // namespace gateway

// Octave's mex.h defines HAVE_OCTAVE, on every platform; MATLAB's does not.
#if defined(HAVE_OCTAVE)
#include "interrupt_octave.inc"
#elif defined(_WIN32)
#include "interrupt_libut_windows.inc"
#elif defined(__linux__) || defined(__APPLE__)
#include "interrupt_libut_weak.inc"
#else
#error "No way to find the host's interrupt request on this platform: add an interrupt_*.inc here."
#endif
