// The jump back that ends a call made with standinCallEndingByJump.
#pragma once

#include <setjmp.h>

#include "standin.hpp"

namespace host {

// If a call made with standinCallEndingByJump is running on this thread,
// ends it with error and does not return; otherwise returns at once.
void jumpBackIfAwaited(const MexError& error);

// Called by the function that filled buffer with setjmp: aborts unless a
// longjmp from buffer would unwind to that function's frame. One file per
// platform (jump_frame_posix.cpp, jump_frame_windows.cpp).
void checkJumpFrame(const jmp_buf& buffer);

}  // namespace host
