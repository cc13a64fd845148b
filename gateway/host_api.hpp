// The host calls the extensions use, and the only place that says where they
// come from.
//
// - MEX_OWN_HOST_DECLARATIONS (our own builds for MATLAB on Windows and
//   Linux): the host's headers are not ours to ship, so the calls are declared
//   here, under the names the host's libraries export (libmx, libmex).
// - Otherwise the host's own mex.h (GNU Octave, or MATLAB's mex command).
#pragma once

#if defined(MEX_OWN_HOST_DECLARATIONS)

#include <cstddef>

extern "C" {
typedef struct mxArray_tag mxArray;  // opaque; owned by the host

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;
typedef std::size_t mwIndex;  // 64-bit, as in the "_730" interface

// libmx. Sizes are 64-bit (the "_730" large-array interface).
mxArray* mxCreateDoubleMatrix_730(std::size_t rows, std::size_t columns, mxComplexity complexity);
double* mxGetPr(const mxArray* array);  // null for an empty array
bool mxIsDouble(const mxArray* array);
std::size_t mxGetNumberOfElements(const mxArray* array);  // rows x columns, also when sparse
// Sparse arrays store only some elements, column by column: those of column j
// (from 0) are entries Jc[j] to Jc[j+1]-1 of Ir (their rows, ascending) and of
// the real data. Jc has columns+1 entries.
bool mxIsSparse(const mxArray* array);
mwIndex* mxGetJc_730(const mxArray* array);
mwIndex* mxGetIr_730(const mxArray* array);

// libmex. Raise the message as an error in the host; never return. The
// second gives the error an identifier ("component:mnemonic") and formats the
// message from format and the arguments as printf does.
[[noreturn]] void mexErrMsgTxt(const char* message);
[[noreturn]] void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...);
// Registers a function the host calls before it unloads the extension
// (clear NAME, clear all, or the host's exit). Returns 0.
int mexAtExit(void (*exitFunction)(void));
}

inline mxArray* mxCreateDoubleMatrix(std::size_t rows, std::size_t columns, mxComplexity complexity) {
    return mxCreateDoubleMatrix_730(rows, columns, complexity);
}
inline mwIndex* mxGetJc(const mxArray* array) { return mxGetJc_730(array); }
inline mwIndex* mxGetIr(const mxArray* array) { return mxGetIr_730(array); }

#else

#include <mex.h>

#endif
