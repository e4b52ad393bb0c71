#pragma once
// For tests only: a look at the calling thread's engine state, which the product keeps to itself.
#include "host/engine_loader.h"

namespace qtv::host::testing {

using host::EngineState;

// A copy of the calling thread's state.
inline EngineState CurrentEngineState() noexcept { return ThreadEngine(); }

} // namespace qtv::host::testing
