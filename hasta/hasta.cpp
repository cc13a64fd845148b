// hasta(deadline): waits until the counter reaches deadline, a time in
// counter milliseconds on reloj's scale, and returns the time the wait ended,
// on the same scale, at or after the deadline. It sleeps on the system's timer
// while the deadline is far and spins on the counter for the rest. Ctrl+C in
// the host ends the wait, as the host ends interrupted calls
// (gateway/interrupt.hpp).
#include <atomic>
#include <cstdint>

#include "gateway/first_element.hpp"
#include "gateway/gateway.hpp"
#include "gateway/interrupt.hpp"
#include "timing/deadline_wait.hpp"
#include "timing/sleeper.hpp"

namespace {

// How late this process's wakeups came, from which hasta's waits learn the
// margin by which they sleep short of their deadline (timing::LearnedWakeups):
// the window of recent ones, and the longer memory of those while the thread
// ran raised; empty until the first wait. State kept between calls, as only
// prioridad also keeps: it lives while hasta is loaded, and clearing hasta
// starts it afresh. Hosts call on one thread; should two waits run at once all
// the same, each reads whole values and the last to end leaves its own, hence
// atomics: each part one 64-bit word (timing::packed), which needs no
// runtime. The two parts are read and left each on its own; either from
// another wait is still a whole value, which the rule takes as it comes.
std::atomic<std::uint64_t> learnedWindow{0};
std::atomic<std::uint64_t> learnedRaised{0};

const char* refuse(const mxArray* const* inputs) {
    if (gateway::hasFirstDouble(inputs[0])) return nullptr;
    return "hasta requires a deadline in counter milliseconds: a non-empty double array.";
}

void hasta(const mxArray* const* inputs, double* results) {
    // Read before the wait, so that no host call lies between its readings.
    const double deadlineMs = gateway::firstElement(inputs[0]);
    const timing::Sleeper sleeper = timing::openSleeper();
    const timing::LearnedWakeups learned = {timing::unpacked(learnedWindow.load(std::memory_order_relaxed)),
                                            timing::unpackedRaised(learnedRaised.load(std::memory_order_relaxed))};
    const bool raised = timing::threadRaised(sleeper);
    const timing::DeadlineWaitEnd ended = timing::waitUntilOn(
        deadlineMs, learned, raised, timing::marginCeilingSeconds(sleeper), timing::readCounter,
        timing::readFrequency, [&](std::uint64_t reading) { timing::sleepUntil(sleeper, reading); },
        gateway::InterruptPoll{});
    // The thread as it was found, before any error below: the host's error
    // call does not return.
    timing::closeSleeper(sleeper);
    learnedWindow.store(timing::packed(ended.learned.window), std::memory_order_relaxed);
    if (raised) learnedRaised.store(timing::packed(ended.learned.raised), std::memory_order_relaxed);
    switch (ended.wait.outcome) {
        case timing::WaitOutcome::reached:
            break;
        case timing::WaitOutcome::interrupted:
            gateway::endInterrupted("hasta:interrupted", "hasta was interrupted before the end of its wait.");
        case timing::WaitOutcome::noDeadline:
            gateway::fail("hasta cannot wait until NaN, Inf, -Inf or a time past the counter's last reading.");
    }
    // reloj's conversion: the end reading is the first at or past the one
    // whose time on this scale reaches the deadline, so the result does too.
    results[0] = timing::countToMsMultiplyFirst(ended.wait.end, ended.wait.frequency);
}

constexpr gateway::Function kHasta = {
    1, 1, 1,
    "hasta necesita 1 argumento de entrada.",
    "hasta requires one output argument.",
    refuse,
    hasta,
};

}  // namespace

// What the host calls for t = hasta(deadline).
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    gateway::run(kHasta, nlhs, plhs, nrhs, prhs);
}
