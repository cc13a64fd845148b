// [t, utc, incierto, error_sistema] = fecha(): the counter and the system
// clock read together, so that a time on reloj's scale can be put on the
// calendar: at counter time t (ms, reloj's scale) the system clock showed
// utc (ms since 1970-01-01 00:00 UTC), read within t +- incierto (ms);
// error_sistema is what the system says of its clock (ms; Inf: not
// synchronised; NaN: not said).
#include "gateway/gateway.hpp"
#include "timing/system_clock.hpp"

namespace {

void fecha(const mxArray* const* /*inputs*/, double* results) {
    const std::uint64_t frequency = timing::readFrequency();
    const timing::SystemClock clock = timing::openSystemClock();
    const timing::ClockPair pair =
        timing::pairWithCounter(frequency, timing::readCounter, [&] { return timing::readSystemClock(clock); });
    results[0] = pair.t;
    results[1] = pair.utc;
    results[2] = pair.uncertaintyMs;
    results[3] = timing::systemClockErrorMs();
}

constexpr gateway::Function kFecha = {
    0, 0, 4,
    "fecha necesita 0 argumento de entrada.",
    "fecha returns at most four output arguments.",
    nullptr,
    fecha,
};
static_assert(kFecha.mostOutputs <= gateway::kMostOutputs, "the gateway makes no more results");

}  // namespace

// What the host calls for [t, utc, incierto, error_sistema] = fecha().
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    gateway::run(kFecha, nlhs, plhs, nrhs, prhs);
}
