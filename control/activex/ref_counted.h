#pragma once
// The one place where component objects end: a reference count that destroys its object when the last
// reference goes, and the creation pattern that hands a new object to its first caller.
#include <windows.h>

#include <atomic>
#include <memory>
#include <new>
#include <utility>

#include "control/activex/errors.h"
#include "control/activex/module.h"

namespace qtv::com {

// Base of every object the library creates. Each object keeps the library loaded while it lives.
template <typename Derived> class RefCounted {
public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

protected:
  RefCounted() noexcept { module::ObjectCreated(); }
  ~RefCounted() { module::ObjectDestroyed(); }

  ULONG AddReference() noexcept { return ++references_; }
  ULONG ReleaseReference() noexcept {
    const ULONG left = --references_;
    if (left == 0) std::unique_ptr<Derived>{static_cast<Derived*>(this)}.reset();
    return left;
  }

private:
  // Starts at the creator's reference.
  std::atomic<ULONG> references_{1};
};

// Creates an object, asks it for `iid` and drops the creator's reference, so the object lives exactly
// as long as the caller's answer does (and not at all when the object lacks `iid`).
template <typename Object, typename... Arguments>
HRESULT CreateAndQuery(REFIID iid, void** result, Arguments&&... arguments) noexcept {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  try {
    Object* object = std::make_unique<Object>(std::forward<Arguments>(arguments)...).release();
    const HRESULT answer = object->QueryInterface(iid, result);
    object->Release();
    return answer;
  } catch (const Failure& failure) {
    return failure.result;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

} // namespace qtv::com
