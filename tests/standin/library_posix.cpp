#include <dlfcn.h>

#include "loader.hpp"

namespace host {

void* openLibrary(const std::string& path, std::string& why) {
    // As a host loads an extension: symbols bound on first use (the
    // extensions are linked to bind all at load anyway), and RTLD_LOCAL, so
    // that each extension keeps its own symbols.
    void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) why = dlerror();
    return library;
}

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }

void closeLibrary(void* library) { dlclose(library); }

bool isLibraryLoaded(const std::string& path) {
    // RTLD_NOLOAD finds a loaded library and counts one more use of it.
    void* library = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NOLOAD);
    if (library != nullptr) dlclose(library);
    return library != nullptr;
}

void loadLibut() {}

LibutCalls findLibutCalls() {
    // Where the extension's weak references resolve: the libraries every
    // library loaded with the program needs, libmx's libut among them.
    return {reinterpret_cast<bool (*)()>(dlsym(RTLD_DEFAULT, "utIsInterruptPending")),
            reinterpret_cast<bool (*)(bool)>(dlsym(RTLD_DEFAULT, "utSetInterruptPending"))};
}

}  // namespace host
