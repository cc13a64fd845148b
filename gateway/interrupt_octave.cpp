// GNU Octave: Ctrl+C makes Octave's signal handler raise its interrupt state;
// Octave acts on it when code calls octave_quit(), by throwing an interrupt
// exception to the prompt.
#include <octave/quit.h>

#include "interrupt.hpp"

namespace gateway {

namespace {

// Set from a signal handler: read it afresh every time.
bool octaveInterruptPending() { return *static_cast<volatile sig_atomic_t*>(&octave_interrupt_state) > 0; }

// Only ever asked to clear (false): takes the request as Octave does, through
// octave_quit(), which also clears what its signal handler noted, and catches
// the interrupt it throws; then no interrupt is pending or being handled, and
// the call can end with its own error. Tried in octave-cli: back at the
// prompt, the next command runs, and a script that catches the error goes on
// without being stopped by the same Ctrl+C.
bool takeOctaveInterrupt(bool) {
    const bool pending = octaveInterruptPending();
    try {
        octave_quit();
    } catch (const octave::interrupt_exception&) {
    }
    octave_interrupt_state = 0;
    return pending;
}

}  // namespace

InterruptCalls findInterruptCalls() { return {octaveInterruptPending, takeOctaveInterrupt}; }

}  // namespace gateway
