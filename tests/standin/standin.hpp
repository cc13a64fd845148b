// The stand-in host: our own libmx, libmex and libut, with the calls the
// extensions use, for running them where the real host is not installed.
//
// It keeps the promises the extensions rely on: mxCreateDoubleMatrix_730
// gives a 1x1 real double, mxGetPr gives no pointer for an empty array, and
// mexErrMsgTxt ends the invocation and never returns to it. It ends it the
// way the call was made: by throwing MexError, for the caller to catch, or,
// inside standinCallEndingByJump, by an unwinding longjmp back to there.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

enum MxClass {
    kMxDouble, kMxSingle, kMxInt8, kMxUint8, kMxInt16, kMxUint16, kMxInt32, kMxUint32,
    kMxInt64, kMxUint64, kMxChar, kMxLogical, kMxCell, kMxStruct,
};

struct mxArray_tag {
    MxClass mxClass;
    std::size_t rows, columns;
    void* real;  // null when there are no elements
    void* imag;  // null unless complex
    std::size_t blockBytes;  // bytes of real and imaginary data together
    bool onHeap;             // results: plain heap; inputs made here: guarded
    // Sparse arrays only (null otherwise): the stored elements' column starts
    // (columns + 1 entries) and rows, as the host's sparse arrays keep them.
    std::size_t* jc;
    std::size_t* ir;
};
typedef mxArray_tag mxArray;

// The host calls, as the real libraries export them.
mxArray* mxCreateDoubleMatrix_730(std::size_t rows, std::size_t columns, int complexity);
double* mxGetPr(const mxArray* array);
bool mxIsDouble(const mxArray* array);
std::size_t mxGetNumberOfElements(const mxArray* array);
bool mxIsSparse(const mxArray* array);
std::size_t* mxGetJc_730(const mxArray* array);
std::size_t* mxGetIr_730(const mxArray* array);
void mexErrMsgTxt(const char* message);
void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...);
// Keeps exitFunction for the extension being called, to run when the host
// unloads it (standinTakeAtExit). A second registration replaces the first.
int mexAtExit(void (*exitFunction)(void));
// libut: the interrupt request that Ctrl+C raises, for the whole process.
// Setting it returns the request there was before.
bool utIsInterruptPending(void);
bool utSetInterruptPending(bool pending);

// Stand-in only: make arrays of any class, zero-filled, for inputs: the
// element data ends right before an unreadable page, so a read past it
// faults. Frees these and the results the host calls create.
mxArray* standinCreateArray(MxClass mxClass, std::size_t rows, std::size_t columns, bool complex);
// Stand-in only: a sparse double array, rows x columns, that stores the
// elements given (one per place at most, in any order), with room for at
// least one as the host's have. The slots no stored element uses hold
// garbage: its real data slots unusedValue, its row slots row 0, so that
// reading them as if stored shows. The real data ends before an unreadable
// page too.
struct StandinStored {
    std::size_t row, column;
    double value;
};
mxArray* standinCreateSparse(std::size_t rows, std::size_t columns, const StandinStored* stored, std::size_t count,
                             double unusedValue);
void standinDestroyArray(mxArray* array);
// How many arrays the host calls have created on this thread so far.
std::size_t standinCreatedCount();
// How many arrays, made by the host calls or standinCreateArray, are not yet
// destroyed, on all threads.
std::size_t standinLiveCount();
// Stand-in only: the extension whose mexFunction this thread runs from now
// on (any value that names it; null: none), for mexAtExit.
void standinEnterCall(const void* extension);
// Stand-in only: the function the extension registered with mexAtExit, or
// null, forgotten here, for the host to call before it unloads the extension.
typedef void StandinExitFunction(void);
StandinExitFunction* standinTakeAtExit(const void* extension);
// Bytes per element of a class.
std::size_t standinElementSize(MxClass mxClass);
}

// What mexErrMsgTxt and mexErrMsgIdAndTxt raise: the message and the
// identifier (empty from mexErrMsgTxt), copied (the caller's may be gone).
struct MexError {
    char message[512];
    char identifier[128];
};

typedef void StandinMexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

// Stand-in only: calls function as a host written in C does. If the call
// raises an error, mexErrMsgTxt jumps back here with the C runtime's longjmp
// (on Linux glibc's, which is siglongjmp; on Windows one that unwinds every
// frame in between with RtlUnwindEx and their unwind tables), past the
// extension's frames, which run no code of their own on the way. Returns
// false, with the message in error, if the call ended so; true if it returned.
bool standinCallEndingByJump(StandinMexFunction* function, int nlhs, mxArray* plhs[], int nrhs,
                             const mxArray* prhs[], MexError* error);
