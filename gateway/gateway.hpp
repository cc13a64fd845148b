// The frame every call from the host passes through: the argument-count
// checks and the one kind of result, 1x1 real doubles. Each extension's
// source defines the entry the host calls, mexFunction, and hands the call on
// to run() with its own Function; gateway.cpp holds the other export, the
// host release the extensions are built for.
#pragma once

#include "host_api.hpp"

namespace gateway {

// The most outputs a function may give.
constexpr int kMostOutputs = 4;

struct Function {
    int fewestInputs, mostInputs;
    int mostOutputs;                 // 1 to kMostOutputs
    const char* inputCountMessage;   // raised when the input count is outside those
    const char* outputCountMessage;  // raised when more than mostOutputs are asked for
    // Both take the call's inputs, null when it has none.
    // May be null. Looks at the inputs before anything is created and returns
    // the message to refuse them with, or null to accept them.
    const char* (*refuse)(const mxArray* const* inputs);
    // The function itself: fills results[0] to results[mostOutputs - 1], the
    // values of the 1x1 results in that order, whichever the call asked for.
    // It may end the call with fail(); the host then frees the results it
    // created.
    void (*body)(const mxArray* const* inputs, double* results);
};

// One call of the function, with mexFunction's arguments: the checks, then
// the results in output slots 0 to nlhs - 1, created before the body runs so
// that no host call lies between its readings and its results. Slot 0
// always has room for one (also when nlhs is 0: a call that asks for nothing
// still gets its first value in ans).
void run(const Function& function, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

// After the host's error calls. Our own declarations say they do not return;
// the host's mex.h may not, so tell the compiler here, once.
[[noreturn]] inline void notReached() {
#if defined(_MSC_VER)
    __assume(false);
#elif defined(__GNUC__)
    __builtin_unreachable();
#else
#error "Tell this compiler that the host's error calls do not return."
#endif
}

// End the call with the message as the host's error (mexErrMsgTxt, which
// unwinds the call and never returns); the second with the identifier too
// (mexErrMsgIdAndTxt), which a script's catch can tell other errors by. It is
// inline, so that only the extensions that use it import its host call.
[[noreturn]] void fail(const char* message);
[[noreturn]] inline void fail(const char* identifier, const char* message) {
    mexErrMsgIdAndTxt(identifier, "%s", message);  // the message as it is, % and all
    notReached();
}

}  // namespace gateway
