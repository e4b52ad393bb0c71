// A loadable library that lacks the engine's entry: what a foreign or outdated file at the engine path
// looks like to the host.
#include "platform/abi.h"

extern "C" QTV_EXPORT int QTV_STDCALL something_else(int value) { return value + 1; }
