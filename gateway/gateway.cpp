#include "gateway.hpp"

#include <cstdint>

extern "C" {

// The host release the extensions are built for: 2017b, written in hex digits.
// MATLAB's own mex command links in a definition of its own; build_mex then
// defines MEX_HOST_DEFINES_API_VERSION so that there is only one.
#if !defined(MEX_HOST_DEFINES_API_VERSION)
void mexfilerequiredapiversion(std::uint32_t* release, std::uint32_t* second) {
    *release = 0x2017B;
    *second = 0;
}
#endif

}  // extern "C"

namespace gateway {

void run(const Function& function, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs < function.fewestInputs || nrhs > function.mostInputs) fail(function.inputCountMessage);
    if (nlhs > function.mostOutputs || nlhs > kMostOutputs) fail(function.outputCountMessage);
    const mxArray* const* inputs = nrhs == 0 ? nullptr : prhs;
    if (function.refuse != nullptr) {
        if (const char* message = function.refuse(inputs)) fail(message);
    }
    const int count = nlhs < 1 ? 1 : nlhs;
    double* slots[kMostOutputs];
    for (int i = 0; i < count; ++i) {
        plhs[i] = mxCreateDoubleMatrix(1, 1, mxREAL);
        slots[i] = mxGetPr(plhs[i]);
    }
    double results[kMostOutputs] = {0.0, 0.0, 0.0, 0.0};
    function.body(inputs, results);
    for (int i = 0; i < count; ++i) *slots[i] = results[i];
}

void fail(const char* message) {
    mexErrMsgTxt(message);
    notReached();
}

}  // namespace gateway
