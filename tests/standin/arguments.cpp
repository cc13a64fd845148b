#include "arguments.hpp"

#include <cstdlib>

namespace host {

std::optional<double> parseNumber(const std::string& argument) {
    const char* text = argument.c_str();
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    // end == text: nothing read; short of the size: junk after the number.
    if (end == text || end != text + argument.size()) return std::nullopt;
    return value;
}

std::optional<std::vector<Call>> parseCalls(const std::vector<std::string>& arguments, std::string& why) {
    const std::string separator = ",";
    std::vector<Call> calls;
    bool callEnded = true;
    for (const std::string& argument : arguments) {
        if (callEnded) {
            if (argument == separator) break;
            calls.push_back({argument, {}});
            callEnded = false;
        } else if (argument == separator) {
            callEnded = true;
        } else if (const std::optional<double> number = parseNumber(argument)) {
            calls.back().inputs.push_back(*number);
        } else {
            why = "input \"" + argument + "\" to " + calls.back().extension + " is not a number";
            return std::nullopt;
        }
    }
    if (callEnded) {
        why = "a call names no extension (one must come first and after each \",\")";
        return std::nullopt;
    }
    return calls;
}

}  // namespace host
