#include <cstring>

#include "jump.hpp"
#include "standin.hpp"

void mexErrMsgTxt(const char* message) {
    MexError error{};
    std::strncpy(error.message, message, sizeof error.message - 1);
    host::jumpBackIfAwaited(error);
    throw error;
}
