// The frame every call from the host passes through: the argument-count
// checks and the one kind of result, a 1x1 real double. Each extension's
// source defines the entry the host calls, mexFunction, and hands the call on
// to run() with its own Function; gateway.cpp holds the other export, the
// host release the extensions are built for.
#pragma once

#include "host_api.hpp"

namespace gateway {

struct Function {
    int fewestInputs, mostInputs;
    const char* inputCountMessage;   // raised when the input count is outside those
    const char* outputCountMessage;  // raised when more than one output is asked for
    // Both take the call's inputs, null when it has none.
    // May be null. Looks at the inputs before anything is created and returns
    // the message to refuse them with, or null to accept them.
    const char* (*refuse)(const mxArray* const* inputs);
    // The function itself: the value of the 1x1 result. It may end the call
    // with fail(); the host then frees the result it created.
    double (*body)(const mxArray* const* inputs);
};

// One call of the function, with mexFunction's arguments: the checks, then
// the result in output slot 0, which always has room for one (also when
// nlhs is 0: a call that asks for nothing still gets its value in ans).
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
