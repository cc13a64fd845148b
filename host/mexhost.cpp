// mexhost EXTENSION [NUMBER ...]: loads the extension by its file name and
// calls it once with each NUMBER as a 1x1 double input, asking for one
// output, as a script's `ans = f(NUMBER, ...)` would. Prints the result with
// all its digits, or the error message (exit status 1).
#include <cstdio>
#include <cstdlib>

#include "loader.hpp"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mexhost EXTENSION [NUMBER ...]\n");
        return 2;
    }
    std::string why;
    const std::optional<host::Extension> extension = host::loadExtension(argv[1], why);
    if (!extension) {
        std::fprintf(stderr, "mexhost: %s\n", why.c_str());
        return 2;
    }
    std::vector<const mxArray*> inputs;
    for (int i = 2; i < argc; ++i) inputs.push_back(host::makeDoubles({std::strtod(argv[i], nullptr)}));
    const host::Outcome outcome = host::callExtension(*extension, 1, inputs);
    for (const mxArray* input : inputs) standinDestroyArray(const_cast<mxArray*>(input));
    host::unloadExtension(*extension);
    if (!outcome.error.empty()) {
        std::printf("error: %s\n", outcome.error.c_str());
        return 1;
    }
    std::printf("%.17g\n", outcome.value.value_or(0.0));
    return 0;
}
