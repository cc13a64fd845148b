# Cross-building for macOS, MACOS_ARCH arm64 (Apple silicon) or x86_64 (Intel
# Macs), with Debian's clang and its Mach-O linker, ld64.lld (lld-14), against
# the Mac's own headers and libSystem stub in MACOS_SDK (cmake/macos_sdk.sh
# lays it out). What these builds make is checked here, never run.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${MACOS_ARCH})
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MACOS_ARCH MACOS_SDK)
set(CMAKE_OSX_ARCHITECTURES ${MACOS_ARCH})
set(CMAKE_OSX_SYSROOT ${MACOS_SDK})
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET ${MACOS_ARCH}-apple-macos)
# Searched as on a Mac: libc++'s headers, then the compiler's own, then the C
# library's; nothing of Debian's.
set(CMAKE_CXX_FLAGS_INIT "-stdlib++-isystem ${MACOS_SDK}/headers/libc++")
foreach(dir ${MACOS_ARCH} macos any)
  string(APPEND CMAKE_CXX_FLAGS_INIT " -idirafter ${MACOS_SDK}/headers/${dir}")
endforeach()
# No libc++ here to link: what is linked needs nothing of it.
foreach(kind EXE MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -B/usr/lib/llvm-14/bin -nostdlib++")
endforeach()
