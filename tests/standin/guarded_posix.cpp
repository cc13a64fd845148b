#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>

#include "guarded.hpp"

namespace host {
namespace {
std::size_t pageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }
std::size_t dataPages(std::size_t bytes) { return (bytes + pageSize() - 1) / pageSize() * pageSize(); }
}  // namespace

void* allocateGuarded(std::size_t bytes) {
    const std::size_t span = dataPages(bytes);
    void* base = mmap(nullptr, span + pageSize(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) std::abort();
    char* guard = static_cast<char*>(base) + span;
    if (mprotect(guard, pageSize(), PROT_NONE) != 0) std::abort();
    return guard - bytes;
}

void freeGuarded(void* data, std::size_t bytes) {
    if (data == nullptr) return;
    char* guard = static_cast<char*>(data) + bytes;
    munmap(guard - dataPages(bytes), dataPages(bytes) + pageSize());
}

}  // namespace host
