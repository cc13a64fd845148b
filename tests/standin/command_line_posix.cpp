#include "arguments.hpp"

// The arguments are bytes as given; file names among them are UTF-8 on any
// system set up since long ago.
std::vector<std::string> host::programArguments(int argc, char** argv) { return {argv + 1, argv + argc}; }
