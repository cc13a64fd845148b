#include <dlfcn.h>

#include "loader.hpp"

namespace host {

void* openLibrary(const std::string& path, std::string& why) {
    // RTLD_LOCAL: each extension keeps its own symbols, as in the host.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) why = dlerror();
    return library;
}

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }

void closeLibrary(void* library) { dlclose(library); }

}  // namespace host
