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

// The output slots always have room for one result, also when nlhs is 0: a
// call that asks for nothing still gets its value in ans.
void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    const gateway::Function& function = gateway::kFunction;
    if (nrhs != function.requiredInputs) mexErrMsgTxt(function.inputCountMessage);
    if (nlhs > 1) mexErrMsgTxt(function.outputCountMessage);
    if (function.refuse != nullptr) {
        if (const char* message = function.refuse(prhs)) mexErrMsgTxt(message);
    }
    plhs[0] = mxCreateDoubleMatrix(1, 1, mxREAL);
    double* const result = mxGetPr(plhs[0]);
    *result = function.body(prhs);
}

}  // extern "C"
