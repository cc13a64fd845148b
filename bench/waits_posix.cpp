// Sleeping on Linux, where the counter is CLOCK_MONOTONIC in nanoseconds, so
// a deadline on the counter is a deadline clock_nanosleep understands.
#include <errno.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "timing/clock.hpp"
#include "waits.hpp"

namespace bench {
namespace {

// The hybrid sleeps until this long before the deadline and spins the rest:
// more than the usual wake-up delay of an idle machine (timer slack 50 us).
constexpr std::uint64_t kHybridMarginNs = 200000;

timespec toTimespec(std::uint64_t ns) {
    timespec at;
    at.tv_sec = static_cast<time_t>(ns / 1000000000u);
    at.tv_nsec = static_cast<long>(ns % 1000000000u);
    return at;
}

// Sleeps until the counter reads at least ns; a signal does not cut it short.
void sleepUntil(std::uint64_t ns) {
    const timespec at = toTimespec(ns);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

std::int64_t lateSleepFor(double ms) {
    const std::uint64_t deadline = timing::readCounter() + ticksFor(ms, timing::readFrequency());
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
    return static_cast<std::int64_t>(timing::readCounter() - deadline);
}

std::int64_t lateAbsoluteSleep(double ms) {
    const std::uint64_t deadline = timing::readCounter() + ticksFor(ms, timing::readFrequency());
    sleepUntil(deadline);
    return static_cast<std::int64_t>(timing::readCounter() - deadline);
}

std::int64_t lateHybrid(double ms) {
    const std::uint64_t start = timing::readCounter();
    const std::uint64_t deadline = start + ticksFor(ms, timing::readFrequency());
    if (deadline - start > kHybridMarginNs) sleepUntil(deadline - kHybridMarginNs);
    return static_cast<std::int64_t>(spinUntil(deadline) - deadline);
}

}  // namespace

std::vector<Wait> sleepingWaits() {
    return {
        {"sleep_for", lateSleepFor},
        {"clock_nanosleep abs", lateAbsoluteSleep},
        {"sleep+spin 0.2ms", lateHybrid},
    };
}

std::string counterName() { return "CLOCK_MONOTONIC"; }

long involuntarySwitches() {
    rusage usage;
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nivcsw;
}

}  // namespace bench
