#pragma once
#include <string_view>

#include "platform/library.h"

// What the loader leaves for the call bridge: the calling thread's engine. Inside the host only.
namespace qtv::host {

// The per-thread state. Every control instance on a thread shares its thread's copy.
struct EngineState {
  platform::LibraryHandle EngineHandle = 0;
  platform::EntryAddress EngineEntry = 0;
  bool EngineLoaded = false;
};

// The calling thread's state, as the last load or release left it.
const EngineState& ThreadEngine() noexcept;

// The messages the loader and the bridge both show.
inline constexpr std::u16string_view kLoadFailed = u"error loading the dll";
inline constexpr std::u16string_view kEntryMissing = u"error locating the interface1 function ";

} // namespace qtv::host
