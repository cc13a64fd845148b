// espera(ms): busy-waits ms milliseconds on the counter and returns the time
// the wait ended, in counter milliseconds (the scale of reloj). Ctrl+C in the
// host ends the wait with an error.
#include "gateway/gateway.hpp"
#include "gateway/interrupt.hpp"
#include "timing/spin_wait.hpp"

namespace {

// The duration is the first element of the input's real double data. Any
// other class, or an empty array, has no such element (the host gives no
// data pointer for an empty array, and an int8 holds one byte, not eight),
// so it is refused before its data is touched.
const char* refuse(const mxArray* const* inputs) {
    const mxArray* duration = inputs[0];
    if (!mxIsDouble(duration) || mxGetNumberOfElements(duration) == 0) {
        return "espera requires a duration in milliseconds: a non-empty double array.";
    }
    return nullptr;
}

// Element (1,1) of a double array that has one. A sparse array stores only
// some elements, and its first data slot holds the first *stored* one, or,
// when none is stored, whatever the host left there: (1,1) is stored only if
// column 1 has an entry and the first, whose row is the lowest, is in row 1.
// Otherwise it is zero, and the data are not read.
double firstElement(const mxArray* array) {
    if (!mxIsSparse(array)) return mxGetPr(array)[0];
    const mwIndex* columnStarts = mxGetJc(array);
    const mwIndex first = columnStarts[0];
    if (columnStarts[1] == first || mxGetIr(array)[first] != 0) return 0.0;
    return mxGetPr(array)[first];
}

double espera(const mxArray* const* inputs) {
    // Read before the wait, so the start reading follows every host call.
    const double durationMs = firstElement(inputs[0]);
    const timing::WaitEnd wait = timing::spinWait(durationMs, gateway::InterruptPoll{});
    switch (wait.outcome) {
        case timing::WaitOutcome::reached:
            break;
        case timing::WaitOutcome::interrupted:
            // Taken before the error: the host would otherwise stop the next
            // command with the same request.
            gateway::clearInterrupt();
            gateway::fail("espera was interrupted before the end of its wait.");
        case timing::WaitOutcome::noDeadline:
            gateway::fail("espera cannot wait NaN, Inf or 2^63 counter ticks or more.");
    }
    return timing::countToMsDivideFirst(wait.end, wait.frequency);
}

constexpr gateway::Function kEspera = {
    1,
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
