#include "control/activex/errors.h"

#include <oleauto.h>

#include <new>
#include <string_view>

#include "control/activex/com_handles.h"
#include "control/control_registration.h"
#include "qtvchecksum/control_error.h"

namespace qtv::com {
namespace {

// Automation's own range for numbered errors: what script hosts show as Err.Number n.
HRESULT ControlFailure(std::int32_t number) noexcept {
  return static_cast<HRESULT>(MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<WORD>(number)));
}

// Without the error object the caller still gets the status, so a failure here changes nothing.
HRESULT Report(HRESULT status, std::u16string_view description) noexcept {
  try {
    ComPtr<ICreateErrorInfo> created;
    if (FAILED(CreateErrorInfo(Out(created)))) return status;
    std::wstring text = ToWide(description);
    created.get()->SetGUID(ToGuid(control::kInterfaceId));
    created.get()->SetDescription(text.data());
    ComPtr<IErrorInfo> error;
    if (SUCCEEDED(created.get()->QueryInterface(IID_IErrorInfo, Out(error)))) SetErrorInfo(0, error.get());
  } catch (...) {
  }
  return status;
}

} // namespace

HRESULT FailureFromCurrentException() noexcept {
  try {
    throw;
  } catch (const InvalidArgumentError& error) {
    return Report(E_INVALIDARG, error.description());
  } catch (const ControlError& error) {
    return Report(ControlFailure(error.number()), error.description());
  } catch (const Failure& failure) {
    return failure.result;
  } catch (const std::bad_alloc&) {
    return Report(E_OUTOFMEMORY, u"Out of memory");
  } catch (...) {
    return Report(E_UNEXPECTED, u"Unexpected error");
  }
}

} // namespace qtv::com
