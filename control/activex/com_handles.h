#pragma once
// Owners for the handles of the component world: interface pointers, BSTR texts and registry keys,
// plus the conversions between our texts and identifiers and the platform's.
#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "control/control_registration.h"
#include "platform/unique_handle.h"

namespace qtv::com {

template <typename Interface> void ReleaseInterface(Interface* pointer) noexcept { pointer->Release(); }

template <typename Interface>
using ComPtr = platform::UniqueHandle<Interface*, nullptr, &ReleaseInterface<Interface>>;

inline constexpr auto kFreeText = [](BSTR text) noexcept { SysFreeString(text); };
using Bstr = platform::UniqueHandle<BSTR, nullptr, kFreeText>;

inline constexpr auto kCloseKey = [](HKEY key) noexcept { RegCloseKey(key); };
using RegistryKey = platform::UniqueHandle<HKEY, nullptr, kCloseKey>;

// Lends the address of a fresh handle to a call that fills it, and hands what it got to `owner` at the
// end of the full expression: `source->QueryInterface(iid, Out(pointer))`.
template <typename Owner> class Out {
  using Handle = decltype(std::declval<const Owner&>().get());

public:
  explicit Out(Owner& owner) noexcept : owner_(owner) {}
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;
  ~Out() { owner_.reset(raw_); }

  operator Handle*() noexcept { return &raw_; }
  operator void**() noexcept requires std::is_pointer_v<Handle> { return reinterpret_cast<void**>(&raw_); }

private:
  Owner& owner_;
  Handle raw_ = Owner::InvalidValue();
};

// The object's answer for `iid`, or nothing when it refuses or answers S_OK without a pointer. The
// answer is read only once the query's expression has ended, where Out has handed it over; a refusal
// carries no reference, whatever pointer a careless object left beside it.
template <typename Interface> ComPtr<Interface> Query(IUnknown& object, REFIID iid) noexcept {
  ComPtr<Interface> answer;
  if (FAILED(object.QueryInterface(iid, Out(answer)))) static_cast<void>(answer.release());
  return answer;
}

// A new reference to an interface that someone else holds.
template <typename Interface> ComPtr<Interface> Share(Interface* pointer) noexcept {
  if (pointer != nullptr) pointer->AddRef();
  return ComPtr<Interface>(pointer);
}

// The system a type library describes: the 32-bit and the 64-bit control library each carry and register
// their own, with the same identifiers and facts.
#if defined(_WIN64)
inline constexpr SYSKIND kTypeLibrarySystem = SYS_WIN64;
#else
inline constexpr SYSKIND kTypeLibrarySystem = SYS_WIN32;
#endif

inline GUID ToGuid(const control::Guid& guid) noexcept {
  return GUID{guid.data1,
              guid.data2,
              guid.data3,
              {guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5],
               guid.data4[6], guid.data4[7]}};
}

// The platform's wide characters are UTF-16 units: copy unit by unit.
inline std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// A null BSTR is the empty text.
inline std::u16string ToText(BSTR text) { return std::u16string(text, text + SysStringLen(text)); }

// Throws std::bad_alloc when the system has no memory for the copy.
inline Bstr MakeBstr(std::u16string_view text) {
  Bstr result(SysAllocStringLen(nullptr, static_cast<UINT>(text.size())));
  if (!result) throw std::bad_alloc();
  std::copy(text.begin(), text.end(), result.get());
  return result;
}

} // namespace qtv::com
