#include <atomic>

#include "standin.hpp"

namespace {
// One request for the whole process, as in MATLAB, where the user's Ctrl+C
// sets it on another thread than the one a call waits on.
std::atomic<bool> interruptPending{false};
}

bool utIsInterruptPending() { return interruptPending.load(); }

bool utSetInterruptPending(bool pending) { return interruptPending.exchange(pending); }
