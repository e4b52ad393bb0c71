// The event ErrorCode as a host's sink receives it through the control's connection point.
#include <gtest/gtest.h>

#include <olectl.h>

#include "tests/control_com/com_test_support.h"

namespace qtv::testing {
namespace {

const wchar_t kEmptyName[] = L"The input file is empty ";
const wchar_t kInvalidFile[] = L"The input file or path is invalid";
const std::vector<VARTYPE> kByReference = {VT_BYREF | VT_BSTR, VT_BYREF | VT_I4};

class EventsTest : public ::testing::Test {
protected:
  void SetUp() override {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, control_.get()->QueryInterface(IID_IConnectionPointContainer, Out(container)));
    ASSERT_EQ(S_OK, container.get()->FindConnectionPoint(kEventInterfaceId, Out(point_)));
  }
  DWORD Connect(IUnknown* sink) {
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, point_.get()->Advise(sink, &cookie));
    EXPECT_NE(0u, cookie);
    return cookie;
  }
  // Calls the file method with the name and expects the empty text with a success status.
  void CallFile(HRESULT (STDMETHODCALLTYPE IQTVChecksum::*method)(BSTR, BSTR*), const wchar_t* name) {
    Bstr file(SysAllocString(name));
    Bstr result;
    EXPECT_EQ(S_OK, (control_.get()->*method)(file.get(), Out(result)));
    ASSERT_NE(nullptr, result.get());
    EXPECT_EQ(L"", Wide(result.get()));
  }
  // Calls the file method by name through IDispatch, as scripts do, and expects the empty text.
  void CallFileLateBound(const wchar_t* method, const wchar_t* name) {
    Bstr file(SysAllocString(name));
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, Call(control_.get(), MemberId(control_.get(), method), {Text(file.get())}, &result));
    ASSERT_EQ(VT_BSTR, result.vt);
    EXPECT_EQ(L"", Wide(result.bstrVal));
    VariantClear(&result);
  }
  static void ExpectEvent(const ReceivedEvent& event, LONG number, const wchar_t* description) {
    EXPECT_EQ(1, event.id);
    EXPECT_EQ(DISPATCH_METHOD, event.flags);
    EXPECT_EQ(kByReference, event.types);
    EXPECT_EQ(number, event.number);
    EXPECT_EQ(description, event.description);
  }

  Apartment apartment_;
  // Declared before the control, so that they outlive its last reference to them.
  EventSink sink_, changing_{true}, watching_;
  EventSink dispatchOnly_{false, SinkAnswers::kDispatchOnly};
  EventSink unknownAndDispatch_{false, SinkAnswers::kUnknownAndDispatch};
  EventSink nullForEvents_{false, SinkAnswers::kNullForEvents};
  EventSink nullForAll_{false, SinkAnswers::kNullForAll};
  ComPtr<IQTVChecksum> control_ = CreateControl();
  ComPtr<IConnectionPoint> point_;
};

TEST_F(EventsTest, EveryFileMethodReportsEmptyNameAndUnreadableFile) {
  Connect(&sink_);
  for (auto method : {&IQTVChecksum::CRC32File, &IQTVChecksum::MD5File, &IQTVChecksum::SHA1File,
                      &IQTVChecksum::SHA256File, &IQTVChecksum::Adler32File}) {
    CallFile(method, L"");
    CallFile(method, L"C:\\no such folder\\no such file.txt");
  }
  ASSERT_EQ(10u, sink_.events.size());
  for (std::size_t i = 0; i < 10; i += 2) {
    ExpectEvent(sink_.events[i], 3, kEmptyName);
    ExpectEvent(sink_.events[i + 1], 5, kInvalidFile);
  }
}

TEST_F(EventsTest, WhatAHandlerWritesChangesNothing) {
  Connect(&changing_);
  Connect(&watching_);
  CallFile(&IQTVChecksum::MD5File, L"");
  CallFile(&IQTVChecksum::MD5File, L"");
  ASSERT_EQ(2u, changing_.events.size());
  ASSERT_EQ(2u, watching_.events.size());
  for (const auto* sink : {&changing_, &watching_}) {
    for (const ReceivedEvent& event : sink->events) ExpectEvent(event, 3, kEmptyName);
  }
}

TEST_F(EventsTest, ConnectionsComeAndGo) {
  EventSink& first = sink_;
  EventSink& second = watching_;
  const DWORD firstCookie = Connect(&first);
  const DWORD secondCookie = Connect(&second);
  EXPECT_NE(firstCookie, secondCookie);

  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(S_OK, point_.get()->EnumConnections(Out(connections)));
  CONNECTDATA listed[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, connections.get()->Next(3, listed, &fetched));
  ASSERT_EQ(2u, fetched);
  EXPECT_EQ(firstCookie, listed[0].dwCookie);
  EXPECT_EQ(secondCookie, listed[1].dwCookie);
  for (ULONG i = 0; i < fetched; ++i) listed[i].pUnk->Release();
  connections.reset();

  EXPECT_EQ(S_OK, point_.get()->Unadvise(firstCookie));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point_.get()->Unadvise(firstCookie));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point_.get()->Unadvise(0));
  EXPECT_EQ(0u, first.references);
  CallFile(&IQTVChecksum::SHA256File, L"");
  EXPECT_TRUE(first.events.empty());
  EXPECT_EQ(1u, second.events.size());

  // A successful request raises nothing.
  Bstr abc(SysAllocString(L"abc"));
  Bstr result;
  EXPECT_EQ(S_OK, control_.get()->CRC32String(abc.get(), 3, Out(result)));
  EXPECT_EQ(L"352441c2", Wide(result.get()));
  EXPECT_EQ(1u, second.events.size());

  // The control lets go of its sinks when it ends.
  control_.reset();
  point_.reset();
  EXPECT_EQ(0u, second.references);
}

// A sink is held by what it really gives: the event interface, else IDispatch. One that gives neither a
// pointer is refused and never called; the others get every event with its real arguments, whether the
// method was called through the method table or late-bound.
TEST_F(EventsTest, SinksAreHeldByWhatTheyGiveAndTheRestRefused) {
  const struct {
    const char* what;
    EventSink& sink;
    bool connects;
  } cases[] = {
      {"IDispatch only", dispatchOnly_, true},
      {"IUnknown and IDispatch", unknownAndDispatch_, true},
      {"S_OK and no pointer for the event interface, IDispatch given", nullForEvents_, true},
      {"S_OK and no pointer for everything", nullForAll_, false},
  };
  for (const auto& [what, sink, connects] : cases) {
    SCOPED_TRACE(what);
    DWORD cookie = 7;
    const HRESULT advised = point_.get()->Advise(&sink, &cookie);
    if (connects) {
      ASSERT_EQ(S_OK, advised);
      ASSERT_EQ(1u, sink.references) << "a connected sink is held, once";
      EXPECT_NE(0u, cookie);
    } else {
      ASSERT_EQ(CONNECT_E_CANNOTCONNECT, advised) << "a sink that gives no pointer is refused";
      EXPECT_EQ(0u, cookie);
      ASSERT_EQ(0u, sink.references) << "a refused sink is not held";
    }
    CallFile(&IQTVChecksum::MD5File, L"");
    CallFileLateBound(L"SHA1File", L"C:\\no such folder\\no such file.txt");
    if (connects) {
      ASSERT_EQ(2u, sink.events.size());
      ExpectEvent(sink.events[0], 3, kEmptyName);
      ExpectEvent(sink.events[1], 5, kInvalidFile);
      EXPECT_EQ(S_OK, point_.get()->Unadvise(cookie));
      EXPECT_EQ(0u, sink.references);
    } else {
      EXPECT_TRUE(sink.events.empty());
    }
  }
}

TEST_F(EventsTest, RefusesSinksWithoutDispatch) {
  struct NotASink final : IUnknown {
    STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
      *result = iid == IID_IUnknown ? this : nullptr;
      return *result != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
  } notASink;
  DWORD cookie = 7;
  EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point_.get()->Advise(&notASink, &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_EQ(E_POINTER, point_.get()->Advise(nullptr, &cookie));
}

} // namespace
} // namespace qtv::testing
