#pragma once
// The control object QTVChecksum as the component runtime sees it: the dual interface _QTVChecksum,
// whose late-bound side runs through the type library, the connection point of its event, its class
// information and error objects. It owns one control and forwards each ErrorCode to its sinks. The
// interfaces with which containers site, size, draw and save it belong to its two OLE parts.
//
// It offers no safety interface: it reads any file it is given, so it is not safe for scripting or
// initialisation.
#include <windows.h>

#include <ocidl.h>

#include <memory>

#include "control/activex/checksum_interface.h"
#include "control/activex/com_handles.h"
#include "control/activex/connection_point.h"
#include "control/activex/ole_control.h"
#include "control/activex/ole_persistence.h"
#include "control/activex/ref_counted.h"
#include "qtvchecksum/qtv_checksum.h"

namespace qtv::com {

class ChecksumObject final : public IQTVChecksum,
                             public IConnectionPointContainer,
                             public IProvideClassInfo2,
                             public ISupportErrorInfo,
                             public RefCounted<ChecksumObject> {
public:
  // Throws Failure when the type library cannot be read.
  ChecksumObject();

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                      EXCEPINFO* exception, UINT* argumentError) override;

  STDMETHODIMP About(VARIANT* result) override;
  STDMETHODIMP CRC32String(BSTR TheString, LONG Length, BSTR* result) override;
  STDMETHODIMP MD5String(BSTR TheString, LONG Length, BSTR* result) override;
  STDMETHODIMP SHA1String(BSTR TheString, LONG Length, BSTR* result) override;
  STDMETHODIMP SHA256String(BSTR TheString, LONG Length, BSTR* result) override;
  STDMETHODIMP Adler32String(BSTR TheString, LONG Length, BSTR* result) override;
  STDMETHODIMP CRC32File(BSTR InputFile, BSTR* result) override;
  STDMETHODIMP MD5File(BSTR InputFile, BSTR* result) override;
  STDMETHODIMP SHA1File(BSTR InputFile, BSTR* result) override;
  STDMETHODIMP SHA256File(BSTR InputFile, BSTR* result) override;
  STDMETHODIMP Adler32File(BSTR InputFile, BSTR* result) override;
  STDMETHODIMP ControlName(BSTR* result) override;

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

private:
  friend std::default_delete<ChecksumObject>;
  ~ChecksumObject() = default;

  // Runs `call` for a method that returns a text; failures become the method's status.
  template <typename Call> HRESULT ReturnText(BSTR* result, Call&& call) noexcept;

  // The dual interface's two descriptions: the late-bound one hosts read, and the method table's, which
  // late-bound calls are carried through.
  ComPtr<ITypeInfo> dispatchInfo_;
  ComPtr<ITypeInfo> methodInfo_;
  ComPtr<ITypeInfo> classInfo_;
  EventConnectionPoint connections_;
  OleControl ole_;
  OlePersistence persistence_;
  // Declared last so that it ends first: its termination handler runs while the rest still stands.
  QTVChecksum control_;
};

// The class factory's creation function for QTVChecksum.
HRESULT CreateChecksumObject(REFIID iid, void** result) noexcept;

} // namespace qtv::com
