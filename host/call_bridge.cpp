// The only road from the control to the engine: texts to ANSI bytes, the call, the output back.
#include <algorithm>
#include <cstdint>
#include <string>

#include "host/dll_interface2.h"
#include "host/engine_loader.h"
#include "platform/library.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace qtv::host {
namespace {

// A text in the engine's form with a NUL of its own, in the system's ANSI code page or the one given. A
// NUL converts to one zero byte, so it is added after the conversion, where the converted text has room.
template <typename... CodePage> std::string TerminatedAnsi(std::u16string_view text, CodePage... codePage) {
  std::string bytes = platform::ToAnsi(text, codePage...);
  bytes += '\0';
  return bytes;
}

template <typename... CodePage>
std::int32_t Call(std::u16string_view command, std::u16string_view input, std::u16string& output,
                  std::int32_t length, CodePage... codePage) {
  const EngineState& engine = ThreadEngine();
  if (engine.EngineHandle == 0) {
    platform::ShowMessage(std::u16string(kLoadFailed));
    return 0;
  }
  if (engine.EngineEntry == 0) {
    platform::ShowMessage(std::u16string(kEntryMissing));
    return 0;
  }
  std::string commandBytes = TerminatedAnsi(command, codePage...);
  std::string inputBytes = TerminatedAnsi(input, codePage...);
  std::string outputBytes = TerminatedAnsi(output, codePage...);
  // The engine reads `length` bytes of input: never more than the text holds. The NUL added above only
  // carries the text and is not part of it; a NUL inside the text is. A negative length goes through,
  // and the engine refuses it.
  const auto available = static_cast<std::int32_t>(std::min<std::size_t>(inputBytes.size() - 1, INT32_MAX));
  const std::int32_t result = platform::CallEntry(engine.EngineEntry, commandBytes.data(), inputBytes.data(),
                                                  outputBytes.data(), std::min(length, available));
  // What comes back is blanks and hexadecimal digits, the same bytes in every code page.
  platform::FromAnsi(outputBytes, output);
  return result;
}

} // namespace

std::int32_t CallEngine(std::u16string_view command, std::u16string_view input, std::u16string& output,
                        std::int32_t length) {
  return Call(command, input, output, length);
}

std::int32_t CallEngine(std::u16string_view command, std::u16string_view input, std::u16string& output,
                        std::int32_t length, unsigned codePage) {
  return Call(command, input, output, length, codePage);
}

} // namespace qtv::host
