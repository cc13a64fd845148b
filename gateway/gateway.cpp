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
    if (nlhs > 1) fail(function.outputCountMessage);
    const mxArray* const* inputs = nrhs == 0 ? nullptr : prhs;
    if (function.refuse != nullptr) {
        if (const char* message = function.refuse(inputs)) fail(message);
    }
    plhs[0] = mxCreateDoubleMatrix(1, 1, mxREAL);
    double* const result = mxGetPr(plhs[0]);
    *result = function.body(inputs);
}

void fail(const char* message) {
    mexErrMsgTxt(message);
    notReached();
}

}  // namespace gateway
