// reloj(): the present counter reading, in counter milliseconds.
#include "gateway/gateway.hpp"
#include "timing/clock.hpp"

namespace {

void reloj(const mxArray* const* /*inputs*/, double* results) {
    // Frequency first, so nothing lies between the counter reading and the
    // result but the conversion.
    const std::uint64_t frequency = timing::readFrequency();
    const std::uint64_t reading = timing::readCounter();
    results[0] = timing::countToMsMultiplyFirst(reading, frequency);
}

constexpr gateway::Function kReloj = {
    0, 0, 1,
    "reloj necesita 0 argumento de entrada.",
    "reloj requires one output argument.",
    nullptr,
    reloj,
};

}  // namespace

// What the host calls for t = reloj().
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    gateway::run(kReloj, nlhs, plhs, nrhs, prhs);
}
