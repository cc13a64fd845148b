// hasta_ref(deadline, margin): the usual deadline wait, the reference make
// bench measures hasta against; built for Octave beside it, never shipped.
// One sleep on hasta's clock and timer, with the same timer slack, until a
// fixed margin before the deadline (margin, in ms: 1 for the usual wait, 0.3
// for the tighter one the bench sets beside hasta at raised priority), then
// the same spin. It learns nothing: its cost is that margin's spin on every
// wait, and it ends late whenever the system wakes it later than the margin.
#include <cstdint>
#include <functional>
#include <optional>

#include "gateway/first_element.hpp"
#include "gateway/gateway.hpp"
#include "gateway/interrupt.hpp"
#include "timing/clock.hpp"
#include "timing/deadline_wait.hpp"
#include "timing/sleeper.hpp"
#include "timing/spin_wait.hpp"

namespace {

// The margin: one double, more than 0 and at most 1 s (NaN and Inf refused).
bool isMargin(const mxArray* input) {
    if (!gateway::hasFirstDouble(input) || mxGetNumberOfElements(input) != 1) return false;
    const double ms = gateway::firstElement(input);
    return ms > 0.0 && ms <= 1000.0;
}

const char* refuse(const mxArray* const* inputs) {
    if (gateway::hasFirstDouble(inputs[0]) && isMargin(inputs[1])) return nullptr;
    return "hasta_ref requires a deadline in counter milliseconds and a margin in milliseconds, more than 0 and "
           "at most 1000.";
}

void hastaRef(const mxArray* const* inputs, double* results) {
    const double deadlineMs = gateway::firstElement(inputs[0]);
    const double marginSeconds = gateway::firstElement(inputs[1]) / 1000.0;
    const std::uint64_t frequency = timing::readFrequency();
    const std::optional<std::uint64_t> deadline = timing::firstReadingAtOrAfter(deadlineMs, frequency);
    if (!deadline) gateway::fail("hasta_ref cannot wait until that deadline.");
    gateway::InterruptPoll interruptPending;
    const timing::Sleeper sleeper = timing::openSleeper();
    std::uint64_t now = timing::readCounter();
    const std::uint64_t margin = timing::marginTicks(marginSeconds, frequency);
    if (*deadline > now && *deadline - now > margin) {
        // One sleep; again only where a signal ended it early (Ctrl+C in
        // Octave), and not once the host asks to stop.
        const std::uint64_t wakeAt = *deadline - margin;
        do {
            timing::sleepUntil(sleeper, wakeAt);
            now = timing::readCounter();
        } while (now < wakeAt && !interruptPending());
    }
    const timing::WaitEnd ended =
        timing::spinUntilOn(now, *deadline, frequency, timing::readCounter, std::ref(interruptPending));
    timing::closeSleeper(sleeper);
    if (ended.outcome != timing::WaitOutcome::reached)
        gateway::endInterrupted("hasta_ref:interrupted", "hasta_ref was interrupted before the end of its wait.");
    results[0] = timing::countToMsMultiplyFirst(ended.end, ended.frequency);
}

constexpr gateway::Function kHastaRef = {
    2, 2, 1, "hasta_ref requires two inputs.", "hasta_ref requires one output argument.", refuse, hastaRef,
};

}  // namespace

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    gateway::run(kHastaRef, nlhs, plhs, nrhs, prhs);
}
