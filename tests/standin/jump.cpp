// Ending a call as a host written in C does: mexErrMsgTxt jumps back with the
// C runtime's longjmp to where the call was made, past the extension's
// frames, which run no code of their own on the way.
//
// - Linux: glibc's longjmp, the same as siglongjmp, restores the registers
//   setjmp saved (not the signal mask, which the call does not touch) and
//   walks no frame in between.
// - 64-bit Windows: mingw-w64's setjmp names this function's frame in the
//   buffer, and the C runtime's longjmp then calls RtlUnwindEx, which walks
//   every frame in between with the unwind tables of its module (the
//   extension's .pdata and .xdata), calls any language handler they name, and
//   stops at the named frame.
#include "jump.hpp"

namespace {

struct Landing {
    jmp_buf buffer;
    MexError* error;
};

// The innermost call ending by a jump that is running on this thread, if any.
// Per thread because the error call has no other way to find it.
thread_local Landing* landing = nullptr;

}  // namespace

bool standinCallEndingByJump(StandinMexFunction* function, int nlhs, mxArray* plhs[], int nrhs,
                             const mxArray* prhs[], MexError* error) {
    Landing here;
    here.error = error;
    Landing* const outer = landing;
    // Nothing local changes after setjmp, so nothing needs to be volatile.
    if (setjmp(here.buffer) != 0) {
        landing = outer;
        return false;
    }
    host::checkJumpFrame(here.buffer);
    landing = &here;
    function(nlhs, plhs, nrhs, prhs);
    landing = outer;
    return true;
}

void host::jumpBackIfAwaited(const MexError& error) {
    if (landing == nullptr) return;
    *landing->error = error;
    longjmp(landing->buffer, 1);
}
