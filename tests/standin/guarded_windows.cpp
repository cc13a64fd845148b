#include <windows.h>

#include <cstdlib>

#include "guarded.hpp"

namespace host {
namespace {
std::size_t pageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}
std::size_t dataPages(std::size_t bytes) { return (bytes + pageSize() - 1) / pageSize() * pageSize(); }
}  // namespace

void* allocateGuarded(std::size_t bytes) {
    const std::size_t span = dataPages(bytes);
    void* base = VirtualAlloc(nullptr, span + pageSize(), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (base == nullptr) std::abort();
    char* guard = static_cast<char*>(base) + span;
    DWORD previous;
    if (!VirtualProtect(guard, pageSize(), PAGE_NOACCESS, &previous)) std::abort();
    return guard - bytes;
}

void freeGuarded(void* data, std::size_t bytes) {
    if (data == nullptr) return;
    char* guard = static_cast<char*>(data) + bytes;
    VirtualFree(guard - dataPages(bytes), 0, MEM_RELEASE);
}

}  // namespace host
