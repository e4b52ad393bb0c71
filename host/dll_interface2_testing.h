#pragma once
// For tests only: a look at the calling thread's engine state, which the product keeps to itself, and
// the one state no file can lead to any more.
#include "host/engine_loader.h"

namespace qtv::host::testing {

using host::EngineState;

// A copy of the calling thread's state.
inline EngineState CurrentEngineState() noexcept { return ThreadEngine(); }

// Makes `library`, loaded by the test, the thread's engine load, with its entry looked up as a load
// does: a library without the entry leaves the state a failed lookup leaves. The thread's own load is
// released first, and the next UnloadEngine releases this one.
void AdoptLoad(platform::LibraryHandle library) noexcept;

} // namespace qtv::host::testing
