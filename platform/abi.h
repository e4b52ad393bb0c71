#pragma once
// The calling convention and export marking of the engine's one entry point. Windows callers reach it
// through a window-procedure trampoline, so there it must be stdcall; elsewhere the C convention serves.
#include "qtvchecksum/export.h"

#if defined(_WIN32)
#define QTV_STDCALL __stdcall
#else
#define QTV_STDCALL
#endif
