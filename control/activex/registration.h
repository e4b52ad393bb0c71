#pragma once
// Self-registration of the control library: the class QTVChecksum with its programmatic identifier and
// control facts, and the embedded type library.
#include <windows.h>

namespace qtv::com {

HRESULT RegisterServer() noexcept;
// Removes everything RegisterServer writes; what is already gone is no failure.
HRESULT UnregisterServer() noexcept;

} // namespace qtv::com
