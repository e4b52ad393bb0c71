#pragma once
// How containers save the control with their forms and load it back: as a stream, a property bag or a
// storage. The control has no properties, so what it saves is a small record of its own that says
// only which format it is; loading accepts that record, or nothing at all. These interfaces are part
// of the control object: its identity for QueryInterface, its reference count for their lifetime.
//
// A control is initialised once, by InitNew or Load of any of the three; a second initialisation is
// refused.
#include <windows.h>

#include <ocidl.h>

#include "control/activex/com_handles.h"

namespace qtv::com {

class OlePersistence final : public IPersistStreamInit, public IPersistPropertyBag, public IPersistStorage {
public:
  explicit OlePersistence(IUnknown& object) noexcept : object_(object) {}
  OlePersistence(const OlePersistence&) = delete;
  OlePersistence& operator=(const OlePersistence&) = delete;
  ~OlePersistence() = default;

  // The interface of this part that answers `iid`, without a new reference; nullptr when none does.
  void* Find(REFIID iid) noexcept;

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    return object_.QueryInterface(iid, result);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return object_.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return object_.Release(); }

  STDMETHODIMP GetClassID(CLSID* classId) override;
  STDMETHODIMP IsDirty() override;
  // The stream's and the property bag's: the same step.
  STDMETHODIMP InitNew() override;

  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  STDMETHODIMP InitNew(IStorage* storage) override;
  STDMETHODIMP Load(IStorage* storage) override;
  STDMETHODIMP Save(IStorage* storage, BOOL sameAsLoad) override;
  STDMETHODIMP SaveCompleted(IStorage* storage) override;
  STDMETHODIMP HandsOffStorage() override;

private:
  // What the control may do with the storage a container gave it.
  enum class StorageMode {
    kNone,       // none given
    kNormal,     // may write to it
    kNoScribble, // saved; must not write until SaveCompleted
    kHandsOff,   // let go of it until SaveCompleted brings one
  };

  IUnknown& object_;
  bool initialized_ = false;
  // The control writes only when asked to save, so it keeps none of the storages it is given: the mode
  // alone says what it may do.
  StorageMode storageMode_ = StorageMode::kNone;
};

} // namespace qtv::com
