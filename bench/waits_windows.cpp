// Sleeping on Windows: Sleep takes whole milliseconds and wakes on the system
// timer's tick, so waits that sleep end on that grid, not on the counter.
#include <windows.h>

#include "timing/clock.hpp"
#include "waits.hpp"

namespace bench {
namespace {

// The hybrid sleeps until at least this long before the deadline and spins
// the rest: Sleep(n) may overrun n by a timer tick.
constexpr double kHybridMarginMs = 2.0;

double msLeft(std::uint64_t now, std::uint64_t deadline, std::uint64_t frequency) {
    return static_cast<double>(deadline - now) * 1000.0 / static_cast<double>(frequency);
}

// What a script does with Sleep: sleep the duration rounded up to whole
// milliseconds, and again for what is left if it woke early.
std::int64_t lateSleep(double ms) {
    const std::uint64_t frequency = timing::readFrequency();
    const std::uint64_t deadline = timing::readCounter() + ticksFor(ms, frequency);
    std::uint64_t now;
    while ((now = timing::readCounter()) < deadline) {
        const double left = msLeft(now, deadline, frequency);
        const DWORD whole = static_cast<DWORD>(left);
        Sleep(whole < left ? whole + 1 : whole);
    }
    return static_cast<std::int64_t>(now - deadline);
}

std::int64_t lateHybrid(double ms) {
    const std::uint64_t frequency = timing::readFrequency();
    const std::uint64_t start = timing::readCounter();
    const std::uint64_t deadline = start + ticksFor(ms, frequency);
    const double sleepMs = msLeft(start, deadline, frequency) - kHybridMarginMs;
    if (sleepMs >= 1.0) Sleep(static_cast<DWORD>(sleepMs));
    return static_cast<std::int64_t>(spinUntil(deadline) - deadline);
}

}  // namespace

std::vector<Wait> sleepingWaits() {
    return {
        {"Sleep", lateSleep},
        {"Sleep+spin 2ms", lateHybrid},
    };
}

std::string counterName() { return "QueryPerformanceCounter"; }

// Windows keeps no such count per thread (and under Wine it is Linux's
// scheduler that decides anyway).
long involuntarySwitches() { return -1; }

}  // namespace bench
