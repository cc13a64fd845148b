#include <cstring>

#include "standin.hpp"

void mexErrMsgTxt(const char* message) {
    MexError error{};
    std::strncpy(error.message, message, sizeof error.message - 1);
    throw error;
}
