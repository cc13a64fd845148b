// Raising the calling thread's scheduling priority while a session needs
// precise waits, and giving back what was found: prioridad's work. Only
// prioridad includes it.
//
//   raisePriority(found)  saves in found what the thread (and, on Windows,
//                         the process) has now, then raises it. Returns null
//                         when raised, else why the system refused, and then
//                         nothing has changed.
//   restorePriority(found) gives back exactly what raisePriority found, from
//                         any thread of the process (the host may unload an
//                         extension on another thread than the one it called).
//
// One file per platform, picked at the end of this header:
//   priority_linux.inc    SCHED_FIFO at priority 1, with SCHED_RESET_ON_FORK
//   priority_windows.inc  the high priority class, the thread's highest
//                         priority, and no power throttling where the system
//                         has that call
//   priority_macos.inc    the user-interactive quality of service
#pragma once

#if defined(_WIN32)
#include "priority_windows.inc"
#elif defined(__APPLE__)
#include "priority_macos.inc"
#elif defined(__linux__)
#include "priority_linux.inc"
#else
#error "No way to raise a thread's priority on this platform: add a priority_*.inc here."
#endif
