// espera(ms): busy-waits ms milliseconds on the counter and returns the time
// the wait ended, in counter milliseconds (the scale of reloj). Ctrl+C in the
// host ends the wait, as the host ends interrupted calls (gateway/interrupt.hpp).
#include "gateway/first_element.hpp"
#include "gateway/gateway.hpp"
#include "gateway/interrupt.hpp"
#include "timing/spin_wait.hpp"

namespace {

const char* refuse(const mxArray* const* inputs) {
    if (gateway::hasFirstDouble(inputs[0])) return nullptr;
    return "espera requires a duration in milliseconds: a non-empty double array.";
}

void espera(const mxArray* const* inputs, double* results) {
    // Read before the wait, so the start reading follows every host call.
    const double durationMs = gateway::firstElement(inputs[0]);
    const timing::WaitEnd wait = timing::spinWait(durationMs, gateway::InterruptPoll{});
    switch (wait.outcome) {
        case timing::WaitOutcome::reached:
            break;
        case timing::WaitOutcome::interrupted:
            gateway::endInterrupted("espera:interrupted", "espera was interrupted before the end of its wait.");
        case timing::WaitOutcome::noDeadline:
            gateway::fail("espera cannot wait NaN, Inf or 2^63 counter ticks or more.");
    }
    results[0] = timing::countToMsDivideFirst(wait.end, wait.frequency);
}

constexpr gateway::Function kEspera = {
    1, 1, 1,
    "espera necesita 1 argumento de entrada.",
    "espera requires one output argument.",
    refuse,
    espera,
};

}  // namespace

// What the host calls for t = espera(ms).
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    gateway::run(kEspera, nlhs, plhs, nrhs, prhs);
}
