// prioridad(level): raises the scheduling priority of the host's thread
// (level 1) so that waits end as precisely on a busy machine as on an idle
// one, or gives back what it found (level 0); returns the level before.
// prioridad() returns the present level and changes nothing. Whatever it
// raised is given back when the host unloads it (clear prioridad, or the
// host's exit), so nothing outlives the session's use of it.
#include "gateway/first_element.hpp"
#include "gateway/gateway.hpp"
#include "timing/priority.hpp"

namespace {

// What the first raise found, kept while the level is 1: with hasta's margin,
// the only state these functions keep between calls. Hosts call on one
// thread, and unload on one.
bool raised = false;
timing::PriorityFound found{};

void giveBack() {
    if (!raised) return;
    timing::restorePriority(found);
    raised = false;
}

// The level asked for: 0 or 1, one double.
const char* refuse(const mxArray* const* inputs) {
    if (inputs == nullptr) return nullptr;
    if (gateway::hasFirstDouble(inputs[0]) && mxGetNumberOfElements(inputs[0]) == 1) {
        const double level = gateway::firstElement(inputs[0]);
        if (level == 0.0 || level == 1.0) return nullptr;
    }
    return "prioridad requires a level, 0 (normal) or 1 (raised): one double.";
}

void prioridad(const mxArray* const* inputs, double* results) {
    results[0] = raised ? 1.0 : 0.0;
    if (inputs == nullptr) return;
    const bool raise = gateway::firstElement(inputs[0]) == 1.0;
    if (raise && !raised) {
        if (const char* why = timing::raisePriority(found)) gateway::fail("prioridad:denied", why);
        raised = true;
        mexAtExit(giveBack);
    } else if (!raise) {
        giveBack();
    }
}

constexpr gateway::Function kPrioridad = {
    0, 1, 1,
    "prioridad necesita 0 o 1 argumento de entrada.",
    "prioridad requires one output argument.",
    refuse,
    prioridad,
};

}  // namespace

// What the host calls for p = prioridad() and before = prioridad(level).
extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    gateway::run(kPrioridad, nlhs, plhs, nrhs, prhs);
}
