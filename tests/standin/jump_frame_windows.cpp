#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "jump.hpp"

// mingw-w64's setjmp passes __builtin_frame_address(0) as the frame. A null
// frame would make longjmp a plain register restore that skips the unwinder;
// one that is not the establisher frame of the function that called setjmp
// is refused by Windows (STATUS_BAD_STACK), though Wine does not check. So
// compare it with the caller's establisher frame as RtlUnwindEx computes it:
// this function's frame unwound, then the caller's.
__attribute__((noinline)) void host::checkJumpFrame(const jmp_buf& buffer) {
    CONTEXT context;
    RtlCaptureContext(&context);
    DWORD64 frame = 0;
    for (int level = 0; level < 2; ++level) {
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        void* handlerData = nullptr;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData, &frame,
                         nullptr);
    }
    const DWORD64 named = reinterpret_cast<const _JUMP_BUFFER*>(&buffer)->Frame;
    if (named == 0 || named != frame) {
        std::fprintf(stderr, "stand-in libmex: setjmp named frame %#llx, not the caller's %#llx\n",
                     static_cast<unsigned long long>(named), static_cast<unsigned long long>(frame));
        std::abort();
    }
}
