// mexhost EXTENSION [NUMBER ...] [, EXTENSION [NUMBER ...]] ...
//
// Loads each extension by its file name and calls it with each NUMBER as a
// 1x1 double input, asking for one output, as a script's
// `ans = f(NUMBER, ...)` would; calls separated by "," run in the order given,
// in one process. Every extension is loaded and every input made before the
// first call, so successive calls lie apart by their own time only.
//
// Prints one line per call: the result with all its digits, or
// "error: MESSAGE". Exit status 0 if every call completed, 1 if any raised an
// error, 2 if an argument is not a number (as strtod reads it in full) or an
// extension does not load; then nothing is called.
#include <cstdio>

#include "arguments.hpp"
#include "loader.hpp"

namespace {

const char* const kUsage = "usage: mexhost EXTENSION [NUMBER ...] [, EXTENSION [NUMBER ...]] ...";

}  // namespace

int main(int argc, char** argv) {
    std::string why;
    const std::optional<std::vector<host::Call>> calls = host::parseCalls(host::programArguments(argc, argv), why);
    if (!calls) {
        std::fprintf(stderr, "mexhost: %s\n%s\n", why.c_str(), kUsage);
        return 2;
    }

    std::vector<host::Extension> extensions;
    std::vector<std::vector<const mxArray*>> inputs;
    auto release = [&] {
        for (const std::vector<const mxArray*>& callInputs : inputs) {
            for (const mxArray* input : callInputs) standinDestroyArray(const_cast<mxArray*>(input));
        }
        for (const host::Extension& extension : extensions) host::unloadExtension(extension);
    };
    for (const host::Call& call : *calls) {
        const std::optional<host::Extension> extension = host::loadExtension(call.extension, why);
        if (!extension) {
            std::fprintf(stderr, "mexhost: %s\n", why.c_str());
            release();
            return 2;
        }
        extensions.push_back(*extension);
        inputs.emplace_back();
        for (double number : call.inputs) inputs.back().push_back(host::makeDoubles({number}));
    }

    std::vector<host::Outcome> outcomes;
    outcomes.reserve(calls->size());
    for (std::size_t i = 0; i < calls->size(); ++i) {
        outcomes.push_back(host::callExtension(extensions[i], 1, inputs[i]));
    }
    release();

    int status = 0;
    for (const host::Outcome& outcome : outcomes) {
        if (!outcome.error.empty()) {
            std::printf("error: %s\n", outcome.error.c_str());
            status = 1;
        } else if (!outcome.value) {
            // The host refuses a call that leaves its requested output unset.
            std::printf("error: no result was assigned\n");
            status = 1;
        } else {
            std::printf("%.17g\n", *outcome.value);
        }
    }
    return status;
}
