// Sleeping on the system's timer until the counter of clock.hpp reaches a
// given reading: the sleeping half of hasta's wait. Only hasta includes it.
//
// One Sleeper per wait, on the thread that waits (plain functions over a plain
// value: the DLLs carry no runtime to run destructors on an unwind):
//   openSleeper()              prepares the system's timer for this thread;
//   sleepUntil(sleeper, reading) sleeps until the counter reaches reading, or
//                              a little later (the wait learns how much), or
//                              returns earlier (a signal, say): callers read
//                              the counter again. Readings are at most a few
//                              seconds ahead.
//   marginCeilingSeconds(sleeper) how late a wakeup on this timer comes, by
//                              its design, at most: the margin's ceiling
//                              (deadline_wait.hpp, marginCovering);
//   threadRaised(sleeper)      whether the thread ran above ordinary ones when
//                              openSleeper asked the system (prioridad(1), or
//                              any other way): then the margin comes from
//                              the wakeups it had so (RaisedWakeups);
//   closeSleeper(sleeper)      undoes what openSleeper changed, so that the
//                              host's thread is left as it was found. Call it
//                              before the host's error call, which does not
//                              return.
//
// One file per platform, picked at the end of this header:
//   sleeper_linux.inc    clock_nanosleep on CLOCK_MONOTONIC, to an absolute
//                        time; the thread's timer slack lowered meanwhile
//   sleeper_windows.inc  a high-resolution waitable timer (Windows 10 1803
//                        and later), else an ordinary one, which wakes on the
//                        system's timer tick
//   sleeper_macos.inc    mach_wait_until
#pragma once

#include <cstdint>

#include "clock.hpp"

namespace timing {

// The ceiling of a high-resolution timer (Linux's hrtimers, macOS's, Windows'
// high-resolution waitable timer): its wakeups come within about 1 ms.
inline constexpr double kHighResolutionCeilingSeconds = 0.001;

}  // namespace timing

#if defined(_WIN32)
#include "sleeper_windows.inc"
#elif defined(__APPLE__)
#include "sleeper_macos.inc"
#elif defined(__linux__)
#include "sleeper_linux.inc"
#else
#error "No way to sleep until a counter reading on this platform: add a sleeper_*.inc here."
#endif
