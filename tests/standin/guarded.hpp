// Memory whose last byte sits right before an unreadable page, so a read of
// even one byte past it faults at once instead of going unnoticed.
#pragma once

#include <cstddef>

namespace host {

// bytes > 0. Zero-filled; aligned to 8 when bytes is a multiple of 8.
void* allocateGuarded(std::size_t bytes);
// data and bytes as given to and returned by allocateGuarded; null is ignored.
void freeGuarded(void* data, std::size_t bytes);

}  // namespace host
