#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "jump.hpp"
#include "standin.hpp"

namespace {

[[noreturn]] void raiseError(const MexError& error) {
    host::jumpBackIfAwaited(error);
    throw error;
}

thread_local const void* calling = nullptr;
std::mutex atExitLock;
std::map<const void*, StandinExitFunction*> atExit;

}  // namespace

void mexErrMsgTxt(const char* message) {
    MexError error{};
    std::strncpy(error.message, message, sizeof error.message - 1);
    raiseError(error);
}

void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...) {
    MexError error{};
    std::strncpy(error.identifier, identifier, sizeof error.identifier - 1);
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(error.message, sizeof error.message, format, arguments);
    va_end(arguments);
    raiseError(error);
}

int mexAtExit(void (*exitFunction)(void)) {
    const std::lock_guard<std::mutex> lock(atExitLock);
    atExit[calling] = exitFunction;
    return 0;
}

void standinEnterCall(const void* extension) { calling = extension; }

StandinExitFunction* standinTakeAtExit(const void* extension) {
    const std::lock_guard<std::mutex> lock(atExitLock);
    const auto found = atExit.find(extension);
    if (found == atExit.end()) return nullptr;
    StandinExitFunction* exitFunction = found->second;
    atExit.erase(found);
    return exitFunction;
}
