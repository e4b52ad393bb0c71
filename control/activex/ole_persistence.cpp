#include "control/activex/ole_persistence.h"

#include <array>
#include <cstdint>

#include "control/control_registration.h"

namespace qtv::com {
namespace {

// The saved record: a format number and the size of what follows it, both 16-bit little-endian. A
// later format may add to the record, and this control steps over what it does not know, so that a
// container that keeps several controls in one stream finds the next one where it belongs.
constexpr std::uint16_t kFormat = 1;
constexpr ULONG kRecordSize = 4;
constexpr std::array<BYTE, kRecordSize> kRecord = {kFormat & 0xFF, kFormat >> 8, 0, 0};

// The stream of a storage that holds the record.
constexpr wchar_t kContents[] = L"Contents";

HRESULT WriteRecord(IStream* stream) noexcept {
  ULONG written = 0;
  const HRESULT result = stream->Write(kRecord.data(), kRecordSize, &written);
  if (FAILED(result)) return result;
  return written == kRecordSize ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT ReadRecord(IStream* stream) noexcept {
  std::array<BYTE, kRecordSize> record{};
  ULONG read = 0;
  HRESULT result = stream->Read(record.data(), kRecordSize, &read);
  if (FAILED(result)) return result;
  // Nothing saved: a container that keeps an empty stream for a control without properties.
  if (read == 0) return S_OK;
  const auto format = static_cast<std::uint16_t>(record[0] | record[1] << 8);
  const auto following = static_cast<std::uint16_t>(record[2] | record[3] << 8);
  if (read != kRecordSize || format == 0) return E_FAIL;
  if (following != 0) {
    LARGE_INTEGER skip{};
    skip.QuadPart = following;
    result = stream->Seek(skip, STREAM_SEEK_CUR, nullptr);
  }
  return FAILED(result) ? result : S_OK;
}

} // namespace

void* OlePersistence::Find(REFIID iid) noexcept {
  if (iid == IID_IPersist || iid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
  if (iid == IID_IPersistPropertyBag) return static_cast<IPersistPropertyBag*>(this);
  if (iid == IID_IPersistStorage) return static_cast<IPersistStorage*>(this);
  return nullptr;
}

STDMETHODIMP OlePersistence::GetClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = ToGuid(control::kClassId);
  return S_OK;
}

// Nothing of the control can change.
STDMETHODIMP OlePersistence::IsDirty() { return S_FALSE; }

STDMETHODIMP OlePersistence::InitNew() {
  if (initialized_) return E_UNEXPECTED;
  initialized_ = true;
  return S_OK;
}

// ---- IPersistStreamInit

STDMETHODIMP OlePersistence::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  if (initialized_) return E_UNEXPECTED;
  const HRESULT result = ReadRecord(stream);
  if (SUCCEEDED(result)) initialized_ = true;
  return result;
}

STDMETHODIMP OlePersistence::Save(IStream* stream, BOOL) {
  if (stream == nullptr) return E_POINTER;
  return WriteRecord(stream);
}

STDMETHODIMP OlePersistence::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = kRecordSize;
  return S_OK;
}

// ---- IPersistPropertyBag: no properties to read or write.

STDMETHODIMP OlePersistence::Load(IPropertyBag* bag, IErrorLog*) {
  if (bag == nullptr) return E_POINTER;
  return InitNew();
}

STDMETHODIMP OlePersistence::Save(IPropertyBag* bag, BOOL, BOOL) { return bag == nullptr ? E_POINTER : S_OK; }

// ---- IPersistStorage

STDMETHODIMP OlePersistence::InitNew(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  if (initialized_) return CO_E_ALREADYINITIALIZED;
  initialized_ = true;
  storageMode_ = StorageMode::kNormal;
  return S_OK;
}

STDMETHODIMP OlePersistence::Load(IStorage* storage) {
  if (storage == nullptr) return E_POINTER;
  if (initialized_) return CO_E_ALREADYINITIALIZED;
  ComPtr<IStream> contents;
  HRESULT result =
      storage->OpenStream(kContents, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, Out(contents));
  // A storage without the record is one the container made for the control and never filled. One that
  // answers S_OK without a stream is broken, and nothing is read through nothing.
  if (result == STG_E_FILENOTFOUND) {
    result = S_OK;
  } else if (SUCCEEDED(result) && !contents) {
    result = E_UNEXPECTED;
  } else if (SUCCEEDED(result)) {
    result = ReadRecord(contents.get());
  }
  if (FAILED(result)) return result;
  initialized_ = true;
  storageMode_ = StorageMode::kNormal;
  return S_OK;
}

STDMETHODIMP OlePersistence::Save(IStorage* storage, BOOL) {
  if (storage == nullptr) return E_POINTER;
  if (storageMode_ != StorageMode::kNormal) return E_UNEXPECTED;
  ComPtr<IStream> contents;
  HRESULT result =
      storage->CreateStream(kContents, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, Out(contents));
  if (SUCCEEDED(result)) result = contents ? WriteRecord(contents.get()) : E_UNEXPECTED;
  if (FAILED(result)) return result;
  storageMode_ = StorageMode::kNoScribble;
  return S_OK;
}

STDMETHODIMP OlePersistence::SaveCompleted(IStorage* storage) {
  if (storageMode_ == StorageMode::kHandsOff && storage == nullptr) return E_INVALIDARG;
  if (storageMode_ != StorageMode::kNoScribble && storageMode_ != StorageMode::kHandsOff) return E_UNEXPECTED;
  storageMode_ = StorageMode::kNormal;
  return S_OK;
}

STDMETHODIMP OlePersistence::HandsOffStorage() {
  if (storageMode_ != StorageMode::kNormal && storageMode_ != StorageMode::kNoScribble) return E_UNEXPECTED;
  storageMode_ = StorageMode::kHandsOff;
  return S_OK;
}

} // namespace qtv::com
