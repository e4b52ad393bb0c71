#pragma once
#include <cstdint>

#include "platform/abi.h"

// The engine library's only export. `command` is a NUL-terminated command word such as "md5string";
// `input` holds the bytes to checksum (string commands) or a NUL-terminated file path (file commands);
// the checksum text and one NUL are written at the start of `output`, which must hold 65 bytes; `length`
// is the byte count of a string command and is ignored by file commands.
// Returns 1 when the command word is known and its operation ran, 0 when the request was refused: an
// unknown word, a null address, or a negative length on a string command. A refused request reads no
// input and writes nothing.
extern "C" QTV_EXPORT std::int32_t QTV_STDCALL interface1(const char* command, const char* input, char* output,
                                                           std::int32_t length);

namespace qtv::engine {
using EntryPoint = std::int32_t(QTV_STDCALL*)(const char*, const char*, char*, std::int32_t);
inline constexpr const char* kEntryName = "interface1";
// The engine library's file name, also under the temporary folder where the host deploys it. A 64-bit
// program cannot load the 32-bit engine nor the other way round, and one user may run both at once, so
// each bitness has a file of its own.
#if defined(_WIN64)
inline constexpr char16_t kFileName[] = u"qtvsum64.dll";
#else
inline constexpr char16_t kFileName[] = u"qtvsum.dll";
#endif
} // namespace qtv::engine
