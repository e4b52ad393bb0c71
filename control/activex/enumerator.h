#pragma once
// The enumerators of the connection interfaces: a snapshot of items taken when the enumerator is made,
// each holding its own reference for as long as the enumerator lives.
#include <windows.h>

#include <ocidl.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "control/activex/ref_counted.h"

namespace qtv::com {

inline void AddRefItem(IConnectionPoint* item) noexcept { item->AddRef(); }
inline void ReleaseItem(IConnectionPoint* item) noexcept { item->Release(); }
inline void AddRefItem(const CONNECTDATA& item) noexcept { item.pUnk->AddRef(); }
inline void ReleaseItem(const CONNECTDATA& item) noexcept { item.pUnk->Release(); }

template <typename Enum, typename Item, const IID& EnumId>
class Enumerator final : public Enum, public RefCounted<Enumerator<Enum, Item, EnumId>> {
public:
  // Takes references of its own to the items.
  Enumerator(std::vector<Item> items, std::size_t position) noexcept
      : items_(std::move(items)), position_(position) {
    for (const Item& item : items_) AddRefItem(item);
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    if (result == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == EnumId) {
      *result = static_cast<Enum*>(this);
      AddRef();
      return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return this->AddReference(); }
  STDMETHODIMP_(ULONG) Release() override { return this->ReleaseReference(); }

  STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override {
    if (items == nullptr || (count != 1 && fetched == nullptr)) return E_POINTER;
    ULONG copied = 0;
    for (; copied < count && position_ < items_.size(); ++copied, ++position_) {
      items[copied] = items_[position_];
      AddRefItem(items[copied]);
    }
    if (fetched != nullptr) *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > items_.size() - position_) {
      position_ = items_.size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Enum** clone) override {
    return CreateAndQuery<Enumerator>(EnumId, reinterpret_cast<void**>(clone), items_, position_);
  }

private:
  friend std::default_delete<Enumerator>;
  ~Enumerator() {
    for (const Item& item : items_) ReleaseItem(item);
  }

  std::vector<Item> items_;
  std::size_t position_;
};

using ConnectionPointEnumerator =
    Enumerator<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;
using ConnectionEnumerator = Enumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;

} // namespace qtv::com
