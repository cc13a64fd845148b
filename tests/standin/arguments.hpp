// mexhost's command line: the extensions to call, in order, and their inputs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace host {

// The number an argument spells, as strtod reads it ("5", "-3", "2.5e-3",
// "0x1p-4", "inf", "-inf", "nan"), if strtod reads all of it; nothing for an
// empty argument, a word ("abc") or trailing characters ("5ms", "5 "). Too
// large a magnitude reads as an infinity, as in MATLAB.
std::optional<double> parseNumber(const std::string& argument);

struct Call {
    std::string extension;       // the extension's file name
    std::vector<double> inputs;  // each passed as a 1x1 double
};

// The program's arguments after its name, in UTF-8, as the loader takes file
// names. One file per platform.
std::vector<std::string> programArguments(int argc, char** argv);

// The calls the arguments ask for: EXTENSION [NUMBER ...], calls separated by
// a "," argument of its own. Nothing if an argument is not a number or a call
// names no extension, and why.
std::optional<std::vector<Call>> parseCalls(const std::vector<std::string>& arguments, std::string& why);

}  // namespace host
