#include <windows.h>

#include <algorithm>

#include "loader.hpp"

namespace host {

namespace {

// The UTF-8 path as Windows takes it: UTF-16, with backslashes (which
// LoadLibraryExW needs to find the file's folder). Empty if path is not UTF-8.
std::wstring windowsPath(const std::string& path) {
    const int size = static_cast<int>(path.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), length);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

}  // namespace

void* openLibrary(const std::string& path, std::string& why) {
    const std::wstring wide = windowsPath(path);
    if (wide.empty()) {
        why = "not a UTF-8 path: " + path;
        return nullptr;
    }
    // As a host loads an extension: by its full path, with the extension's
    // own folder searched first for whatever it imports.
    HMODULE library = LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) why = "LoadLibraryExW failed for " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

bool isLibraryLoaded(const std::string& path) {
    const std::wstring wide = windowsPath(path);
    return !wide.empty() && GetModuleHandleW(wide.c_str()) != nullptr;
}

void loadLibut() { LoadLibraryW(L"libut.dll"); }

LibutCalls findLibutCalls() {
    // As the extension looks: in the libut.dll loaded now, if any.
    const HMODULE libut = GetModuleHandleW(L"libut.dll");
    if (libut == nullptr) return {};
    return {reinterpret_cast<bool (*)()>(findSymbol(libut, "utIsInterruptPending")),
            reinterpret_cast<bool (*)(bool)>(findSymbol(libut, "utSetInterruptPending"))};
}

}  // namespace host
