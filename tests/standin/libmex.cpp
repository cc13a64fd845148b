#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "jump.hpp"
#include "standin.hpp"

namespace {

[[noreturn]] void raiseError(const MexError& error) {
    host::jumpBackIfAwaited(error);
    throw error;
}

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
