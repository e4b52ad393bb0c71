#pragma once
// The control's one connection point, for its event interface __QTVChecksum. It is part of the control
// object: its own identity for QueryInterface, the control's reference count for its lifetime.
#include <windows.h>

#include <ocidl.h>

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "control/activex/com_handles.h"

namespace qtv::com {

class EventConnectionPoint final : public IConnectionPoint {
public:
  explicit EventConnectionPoint(IConnectionPointContainer& container) noexcept : container_(container) {}
  EventConnectionPoint(const EventConnectionPoint&) = delete;
  EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;
  ~EventConnectionPoint() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP_(ULONG) AddRef() override { return container_.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return container_.Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

  // Calls ErrorCode on every connected sink, in the order they connected, each with private copies of
  // the two values passed by reference: what one sink writes reaches neither the control nor the next.
  void RaiseErrorCode(std::int32_t number, std::u16string_view description);

private:
  IConnectionPointContainer& container_;
  std::vector<std::pair<DWORD, ComPtr<IDispatch>>> sinks_;
  DWORD lastCookie_ = 0;
};

} // namespace qtv::com
