#include "control/activex/connection_point.h"

#include <olectl.h>

#include <algorithm>
#include <new>

#include "control/activex/enumerator.h"
#include "control/control_registration.h"
#include "control/type_library.h"

namespace qtv::com {

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID iid, void** result) {
  if (result == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *result = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *result = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = ToGuid(control::kEventInterfaceId);
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  container_.AddRef();
  *container = &container_;
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (sink == nullptr) return E_POINTER;
  // A sink implements the event interface itself, or at least IDispatch (script hosts and many late-bound
  // clients hand over a plain IDispatch). Only a pointer it really gives is kept: the event is called
  // through it later, far from here. Each query has its own owner, so that no query's empty answer can
  // overwrite another's.
  ComPtr<IDispatch> events = Query<IDispatch>(*sink, ToGuid(control::kEventInterfaceId));
  if (!events) events = Query<IDispatch>(*sink, IID_IDispatch);
  if (!events) return CONNECT_E_CANNOTCONNECT;
  try {
    sinks_.emplace_back(lastCookie_ + 1, std::move(events));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *cookie = ++lastCookie_;
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
  const auto found =
      std::find_if(sinks_.begin(), sinks_.end(), [cookie](const auto& sink) { return sink.first == cookie; });
  if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
  // The sink may be released only after it has left the list: its release may call back into us.
  ComPtr<IDispatch> leaving = std::move(found->second);
  sinks_.erase(found);
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  try {
    std::vector<CONNECTDATA> items;
    for (const auto& [cookie, sink] : sinks_) items.push_back(CONNECTDATA{sink.get(), cookie});
    return CreateAndQuery<ConnectionEnumerator>(IID_IEnumConnections, reinterpret_cast<void**>(connections),
                                                std::move(items), 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

void EventConnectionPoint::RaiseErrorCode(std::int32_t number, std::u16string_view description) {
  // A sink may connect or disconnect sinks while it runs: call the ones connected now.
  std::vector<ComPtr<IDispatch>> sinks;
  for (const auto& entry : sinks_) sinks.push_back(Share(entry.second.get()));
  for (const ComPtr<IDispatch>& sink : sinks) {
    LONG privateNumber = number;
    Bstr privateDescription = MakeBstr(description);
    // The sink may free the text and leave another in its place; whatever is there afterwards is ours.
    BSTR lent = privateDescription.release();
    VARIANTARG arguments[2];
    // Arguments travel last first.
    arguments[0].vt = VT_BYREF | VT_BSTR;
    arguments[0].pbstrVal = &lent;
    arguments[1].vt = VT_BYREF | VT_I4;
    arguments[1].plVal = &privateNumber;
    DISPPARAMS parameters{arguments, nullptr, 2, 0};
    sink.get()->Invoke(control::kErrorCodeEvent.dispatchId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                       &parameters, nullptr, nullptr, nullptr);
    privateDescription.reset(lent);
  }
}

} // namespace qtv::com
