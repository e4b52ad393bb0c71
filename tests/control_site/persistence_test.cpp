// The control saved with a form and loaded back, through a stream, a property bag and a storage, as
// containers do it; and the order of calls each of them must keep.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/control_site/test_container.h"

namespace qtv::testing {
namespace {

ComPtr<IStream> NewStream() {
  ComPtr<IStream> stream;
  EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, Out(stream)));
  return stream;
}

ULONGLONG Position(IStream* stream) {
  ULARGE_INTEGER position{};
  EXPECT_EQ(S_OK, stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position));
  return position.QuadPart;
}

void SeekTo(IStream* stream, LONGLONG position) {
  LARGE_INTEGER to{};
  to.QuadPart = position;
  EXPECT_EQ(S_OK, stream->Seek(to, STREAM_SEEK_SET, nullptr));
}

ComPtr<IStorage> NewStorage() {
  ComPtr<ILockBytes> bytes;
  EXPECT_EQ(S_OK, CreateILockBytesOnHGlobal(nullptr, TRUE, Out(bytes)));
  ComPtr<IStorage> storage;
  EXPECT_EQ(S_OK, StgCreateDocfileOnILockBytes(
                      bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, Out(storage)));
  return storage;
}

// A property bag that records what is written to it and read from it.
class PropertyBag final : public IPropertyBag {
public:
  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
      *result = static_cast<IPropertyBag*>(this);
      AddRef();
      return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }
  STDMETHODIMP Read(LPCOLESTR name, VARIANT*, IErrorLog*) override {
    used.emplace_back(name);
    return E_INVALIDARG;
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT*) override {
    used.emplace_back(name);
    return S_OK;
  }

  ULONG references = 0;
  std::vector<std::wstring> used;
};

// A broken storage: it answers S_OK for the control's stream and gives none.
class StreamlessStorage final : public IStorage {
public:
  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    *result = iid == IID_IUnknown || iid == IID_IStorage ? this : nullptr;
    return *result != nullptr ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateStream(LPCOLESTR, DWORD, DWORD, DWORD, IStream** stream) override {
    *stream = nullptr;
    return S_OK;
  }
  STDMETHODIMP OpenStream(LPCOLESTR, void*, DWORD, DWORD, IStream** stream) override {
    *stream = nullptr;
    return S_OK;
  }
  STDMETHODIMP CreateStorage(LPCOLESTR, DWORD, DWORD, DWORD, IStorage**) override { return E_NOTIMPL; }
  STDMETHODIMP OpenStorage(LPCOLESTR, IStorage*, DWORD, SNB, DWORD, IStorage**) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(DWORD, const IID*, SNB, IStorage*) override { return E_NOTIMPL; }
  STDMETHODIMP MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP EnumElements(DWORD, void*, DWORD, IEnumSTATSTG**) override { return E_NOTIMPL; }
  STDMETHODIMP DestroyElement(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP RenameElement(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP SetElementTimes(LPCOLESTR, const FILETIME*, const FILETIME*, const FILETIME*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP SetClass(REFCLSID) override { return E_NOTIMPL; }
  STDMETHODIMP SetStateBits(DWORD, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
};

class PersistenceTest : public ::testing::Test {
protected:
  Apartment apartment_;
  ComPtr<IOleObject> control_ = CreateOleObject();
  ComPtr<IPersistStreamInit> stream_ = Ask<IPersistStreamInit>(control_.get(), IID_IPersistStreamInit);
  ComPtr<IPersistPropertyBag> bag_ = Ask<IPersistPropertyBag>(control_.get(), IID_IPersistPropertyBag);
  ComPtr<IPersistStorage> storage_ = Ask<IPersistStorage>(control_.get(), IID_IPersistStorage);
};

TEST_F(PersistenceTest, ReadsBackFromAStreamExactlyWhatItWroteAmongTheRestOfTheForm) {
  const ComPtr<IStream> stream = NewStream();
  const std::array<BYTE, 3> before{1, 2, 3};
  const std::array<BYTE, 5> after{'n', 'e', 'x', 't', 0};
  ASSERT_EQ(S_OK, stream.get()->Write(before.data(), static_cast<ULONG>(before.size()), nullptr));
  ASSERT_EQ(S_OK, stream_.get()->Save(stream.get(), TRUE));
  const ULONGLONG end = Position(stream.get());
  ASSERT_EQ(S_OK, stream.get()->Write(after.data(), static_cast<ULONG>(after.size()), nullptr));
  EXPECT_GT(end, before.size());
  ULARGE_INTEGER most{};
  ASSERT_EQ(S_OK, stream_.get()->GetSizeMax(&most));
  EXPECT_GE(most.QuadPart, end - before.size());

  const ComPtr<IPersistStreamInit> next =
      Ask<IPersistStreamInit>(CreateOleObject().get(), IID_IPersistStreamInit);
  SeekTo(stream.get(), static_cast<LONGLONG>(before.size()));
  ASSERT_EQ(S_OK, next.get()->Load(stream.get()));
  EXPECT_EQ(end, Position(stream.get()));
  std::array<BYTE, 5> read{};
  ASSERT_EQ(S_OK, stream.get()->Read(read.data(), static_cast<ULONG>(read.size()), nullptr));
  EXPECT_EQ(after, read);
  EXPECT_EQ(S_FALSE, next.get()->IsDirty());
}

TEST_F(PersistenceTest, LoadsAnEmptyStreamAndIsInitialisedOnlyOnce) {
  ASSERT_EQ(S_OK, stream_.get()->Load(NewStream().get()));
  EXPECT_EQ(E_UNEXPECTED, stream_.get()->InitNew());
  EXPECT_EQ(E_UNEXPECTED, stream_.get()->Load(NewStream().get()));
  PropertyBag bag;
  EXPECT_EQ(E_UNEXPECTED, bag_.get()->Load(&bag, nullptr));
  EXPECT_EQ(CO_E_ALREADYINITIALIZED, storage_.get()->InitNew(NewStorage().get()));

  // A record cut short is no saved control.
  const ComPtr<IStream> saved = NewStream();
  ASSERT_EQ(S_OK, stream_.get()->Save(saved.get(), TRUE));
  ULARGE_INTEGER cut{};
  cut.QuadPart = Position(saved.get()) - 1;
  ASSERT_EQ(S_OK, saved.get()->SetSize(cut));
  SeekTo(saved.get(), 0);
  EXPECT_TRUE(FAILED(
      Ask<IPersistStreamInit>(CreateOleObject().get(), IID_IPersistStreamInit).get()->Load(saved.get())));

  for (IPersist* persist : std::initializer_list<IPersist*>{stream_.get(), bag_.get(), storage_.get()}) {
    CLSID classId{};
    EXPECT_EQ(S_OK, persist->GetClassID(&classId));
    EXPECT_EQ(kClassId, classId);
  }
}

TEST_F(PersistenceTest, WritesNoPropertiesToAPropertyBagAndLoadsFromOne) {
  PropertyBag bag;
  EXPECT_EQ(S_OK, bag_.get()->InitNew());
  EXPECT_EQ(S_OK, bag_.get()->Save(&bag, TRUE, TRUE));
  EXPECT_EQ(E_POINTER, bag_.get()->Save(nullptr, TRUE, TRUE));

  const ComPtr<IPersistPropertyBag> next =
      Ask<IPersistPropertyBag>(CreateOleObject().get(), IID_IPersistPropertyBag);
  EXPECT_EQ(S_OK, next.get()->Load(&bag, nullptr));
  EXPECT_EQ(E_UNEXPECTED, next.get()->InitNew());
  EXPECT_TRUE(bag.used.empty());
  EXPECT_EQ(0u, bag.references);
}

TEST_F(PersistenceTest, KeepsTheOrderOfCallsOfAStorage) {
  const ComPtr<IStorage> first = NewStorage();
  EXPECT_EQ(E_UNEXPECTED, storage_.get()->Save(first.get(), TRUE));
  EXPECT_EQ(E_UNEXPECTED, storage_.get()->HandsOffStorage());
  ASSERT_EQ(S_OK, storage_.get()->InitNew(first.get()));
  EXPECT_EQ(CO_E_ALREADYINITIALIZED, storage_.get()->Load(first.get()));
  EXPECT_EQ(E_UNEXPECTED, storage_.get()->SaveCompleted(nullptr));

  // Save: the control must not write until the container has completed the save.
  ASSERT_EQ(S_OK, storage_.get()->Save(first.get(), TRUE));
  EXPECT_EQ(E_UNEXPECTED, storage_.get()->Save(first.get(), TRUE));
  EXPECT_EQ(S_OK, storage_.get()->SaveCompleted(nullptr));

  // Save As: into another storage, hands off the old one, then completed with the new one.
  const ComPtr<IStorage> second = NewStorage();
  ASSERT_EQ(S_OK, OleSave(storage_.get(), second.get(), FALSE));
  EXPECT_EQ(S_OK, storage_.get()->HandsOffStorage());
  EXPECT_EQ(E_UNEXPECTED, storage_.get()->Save(second.get(), TRUE));
  EXPECT_EQ(E_INVALIDARG, storage_.get()->SaveCompleted(nullptr));
  EXPECT_EQ(S_OK, storage_.get()->SaveCompleted(second.get()));
  EXPECT_EQ(S_FALSE, storage_.get()->IsDirty());

  // Loaded back the way containers do: the class from the storage, the site first, then the data.
  TestContainer form(/*designTime=*/true);
  ComPtr<IOleObject> loaded;
  ASSERT_EQ(S_OK, OleLoad(second.get(), IID_IOleObject, &form, Out(loaded)));
  ComPtr<IOleClientSite> site;
  ASSERT_EQ(S_OK, loaded.get()->GetClientSite(Out(site)));
  EXPECT_EQ(static_cast<IOleClientSite*>(&form), site.get());
  site.reset();
  EXPECT_EQ(S_OK, loaded.get()->Close(OLECLOSE_NOSAVE));
  EXPECT_EQ(S_OK, loaded.get()->SetClientSite(nullptr));
  EXPECT_EQ(0u, form.references);

  // A storage the container made for the control but never saved into.
  EXPECT_EQ(
      S_OK,
      Ask<IPersistStorage>(CreateOleObject().get(), IID_IPersistStorage).get()->Load(NewStorage().get()));
}

// The control fails a load and a save rather than read or write through a stream it was not given, and
// stays as it was: still uninitialised after the load, still saving after the save.
TEST_F(PersistenceTest, AStorageThatGivesNoStreamFailsTheLoadAndTheSave) {
  StreamlessStorage broken;
  EXPECT_EQ(E_UNEXPECTED, storage_.get()->Load(&broken));
  ASSERT_EQ(S_OK, storage_.get()->InitNew(NewStorage().get()));
  EXPECT_EQ(E_UNEXPECTED, storage_.get()->Save(&broken, TRUE));
  EXPECT_EQ(S_OK, storage_.get()->Save(NewStorage().get(), TRUE));
}

} // namespace
} // namespace qtv::testing
