// Loads an extension by its file name and calls it, as the host does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standin.hpp"

namespace host {

using MexFunction = void(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
using ApiVersionFunction = void(std::uint32_t* first, std::uint32_t* second);

struct Extension {
    void* library;
    MexFunction* mexFunction;
    ApiVersionFunction* apiVersion;  // null if the extension does not export it
};

// Loads the shared library at path, a UTF-8 file name, as a host does
// (dlopen / LoadLibraryExW), and finds its exports. On failure returns
// nothing and says why.
std::optional<Extension> loadExtension(const std::string& path, std::string& why);
// Calls what the extension registered with mexAtExit first, as the host does.
void unloadExtension(const Extension& extension);

struct ApiVersion {
    std::uint32_t first, second;
};
ApiVersion requiredApiVersion(const Extension& extension);

struct Outcome {
    std::string error;            // the message raised; empty if the call completed
    std::string identifier;       // the error's identifier; empty if it has none
    std::optional<double> value;  // slot 0's first element, if slot 0 was filled
    std::vector<double> values;   // each slot's first element, up to the first slot not filled
    std::size_t created;          // arrays the host calls created during the call
};

// How mexErrMsgTxt ends a refused call: by a C++ exception that our own
// runtime unwinds, or as a host built with another compiler does, by an
// unwinding longjmp (see standinCallEndingByJump).
enum class EndBy { exception, longjmp };

// Calls mexFunction with nlhs outputs (at least one slot, as the host gives)
// and the inputs, which stay the caller's. Frees whatever the call created.
Outcome callExtension(const Extension& extension, int nlhs, const std::vector<const mxArray*>& inputs,
                      EndBy endBy = EndBy::exception);

// A double array holding values (rows 1, columns values.size()), for inputs.
mxArray* makeDoubles(const std::vector<double>& values);

// Platform loading, one file per platform. Paths are UTF-8.
void* openLibrary(const std::string& path, std::string& why);
void* findSymbol(void* library, const char* name);
void closeLibrary(void* library);
// Whether the library at path is loaded in this process now.
bool isLibraryLoaded(const std::string& path);

// The host's interrupt request (Ctrl+C), kept by libut, which a MATLAB
// process has loaded before any extension. On Linux the stand-in's libmx
// needs libut, as MATLAB's does, so loadLibut has nothing to do; on Windows it
// loads libut.dll from the program's folder, for the life of the process.
void loadLibut();
struct LibutCalls {
    bool (*isInterruptPending)();
    bool (*setInterruptPending)(bool);
};
// libut's calls as an extension finds them in this process: null where there
// are none.
LibutCalls findLibutCalls();

}  // namespace host
