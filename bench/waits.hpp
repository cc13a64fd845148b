// The ways of waiting that the lateness benchmark compares. Each wait sets a
// deadline on timing::readCounter, waits for it, and returns how late it
// ended: the end reading minus the deadline, in counter ticks. The reading
// that ends a sleep is taken right after the sleep returns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Wait {
    std::string name;
    std::function<std::int64_t(double ms)> lateTicks;
};

// ms milliseconds in ticks, as the busy wait counts them: (ms * 0.001) *
// frequency, truncated toward zero.
std::int64_t ticksFor(double ms, std::uint64_t frequency);

// Spins until the counter reaches deadline; returns the reading that did.
std::uint64_t spinUntil(std::uint64_t deadline);

// The platform's own ways of waiting, next to which espera is measured; one
// file per platform.
std::vector<Wait> sleepingWaits();

// What the counter is, for the table's heading.
std::string counterName();

// How many times the scheduler has taken the processor away from this thread
// so far, or -1 where the platform does not say.
long involuntarySwitches();

}  // namespace bench
