// The DLL's entry point. The extensions are built without the C runtime (so
// they import nothing but the host and KERNEL32), so there is no runtime to
// start: loading and unloading have nothing to do.
#include <windows.h>

extern "C" BOOL WINAPI DllEntry(HINSTANCE, DWORD, LPVOID) { return TRUE; }
