#pragma once
// How failures leave the control: as a status with an error object for callers of the method table,
// which late-bound callers then receive as an exception.
#include <windows.h>

namespace qtv::com {

// A failed system call inside the library, carried to the boundary of the call that met it.
struct Failure {
  HRESULT result;
};

inline void ThrowIfFailed(HRESULT result) {
  if (FAILED(result)) throw Failure{result};
}

// Turns the exception in flight into a method's failure status and sets the thread's error object. A
// control error numbered n becomes 0x800A0000 | n with its description; no memory becomes
// E_OUTOFMEMORY. An invalid argument becomes E_INVALIDARG with its description. Call only from inside a
// catch block.
HRESULT FailureFromCurrentException() noexcept;

// Automation's error 5, "Invalid procedure call or argument", as late-bound callers receive an invalid
// argument: 0x800A0000 | 5.
inline constexpr HRESULT kInvalidCallOrArgument =
    static_cast<HRESULT>(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 5));

} // namespace qtv::com
