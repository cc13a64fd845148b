// The frame every call from the host passes through: the two exports, the
// argument-count checks, and the one kind of result, a 1x1 real double.
//
// Each extension links the frame with exactly one definition of kFunction.
#pragma once

#include "host_api.hpp"

namespace gateway {

struct Function {
    int requiredInputs;
    const char* inputCountMessage;   // raised when the input count differs
    const char* outputCountMessage;  // raised when more than one output is asked for
    // May be null. Looks at the inputs before anything is created and returns
    // the message to refuse them with, or null to accept them.
    const char* (*refuse)(const mxArray* const* inputs);
    // The function itself: the value of the 1x1 result. It may end the call
    // with mexErrMsgTxt; the host then frees the result it created.
    double (*body)(const mxArray* const* inputs);
};

extern const Function kFunction;

}  // namespace gateway
