#include <windows.h>
#include <shellapi.h>

#include "arguments.hpp"

// The narrow argv is in the ANSI code page, which cannot spell every file
// name: read the wide command line and convert it to UTF-8 instead.
std::vector<std::string> host::programArguments(int, char**) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(bytes > 0 ? bytes - 1 : 0, '\0');
        if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), bytes, nullptr, nullptr);
        arguments.push_back(argument);
    }
    LocalFree(wide);
    return arguments;
}
