#pragma once
// The calling convention and export marking of the engine's one entry point. Windows callers reach it
// through a window-procedure trampoline, so there it must be stdcall; elsewhere the C convention serves.
#if defined(_WIN32)
#define QTV_STDCALL __stdcall
#define QTV_EXPORT
#else
#define QTV_STDCALL
#define QTV_EXPORT __attribute__((visibility("default")))
#endif
