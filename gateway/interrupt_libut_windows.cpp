// MATLAB on Windows keeps its interrupt request in libut.dll. The calls are
// looked up at run time, not imported: a MATLAB without them must still load
// the extension. Only a libut the host has loaded counts (GetModuleHandleW
// loads nothing and leaves the library's count of users alone).
#include <windows.h>

#include "interrupt.hpp"

namespace gateway {

namespace {

// GetProcAddress gives every export one generic type; the exports' own
// types are those of MATLAB's libut.
template <class Function>
Function* find(HMODULE library, const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

InterruptCalls findInterruptCalls() {
    const HMODULE libut = GetModuleHandleW(L"libut.dll");
    if (libut == nullptr) return {};
    return {find<bool()>(libut, "utIsInterruptPending"), find<bool(bool)>(libut, "utSetInterruptPending")};
}

}  // namespace gateway
