// A library that exports the engine's entry but is not the engine: it answers every request with 32
// "f" digits. What another user, another program or an older build may leave at the engine path.
#include <cstdint>
#include <cstring>

#include "platform/abi.h"

#if defined(_WIN32)
#define QTV_IMPOSTOR_EXPORT __declspec(dllexport)
#else
#define QTV_IMPOSTOR_EXPORT QTV_EXPORT
#endif

extern "C" QTV_IMPOSTOR_EXPORT std::int32_t QTV_STDCALL interface1(const char*, const char*, char* output,
                                                                   std::int32_t) {
  std::memset(output, 'f', 32);
  output[32] = '\0';
  return 1;
}
