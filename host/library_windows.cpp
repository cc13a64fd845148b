#include <windows.h>

#include "loader.hpp"

namespace host {

void* openLibrary(const std::string& path, std::string& why) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) why = "LoadLibrary failed for " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace host
