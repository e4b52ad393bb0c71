#include <windows.h>

// The engine keeps no state of its own, per process or per thread: nothing to set up or tear down.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
