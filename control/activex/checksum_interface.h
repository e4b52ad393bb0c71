#pragma once
// The method table of the control's default interface _QTVChecksum: IDispatch's seven entries, then the
// twelve methods in the type library's order, each returning its result through a last parameter.
// Late-bound calls reach these entries through the type library, so both must list them alike.
#include <windows.h>

#include <oaidl.h>

namespace qtv::com {

struct IQTVChecksum : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE About(VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CRC32String(BSTR TheString, LONG Length, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE MD5String(BSTR TheString, LONG Length, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE SHA1String(BSTR TheString, LONG Length, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE SHA256String(BSTR TheString, LONG Length, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Adler32String(BSTR TheString, LONG Length, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CRC32File(BSTR InputFile, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE MD5File(BSTR InputFile, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE SHA1File(BSTR InputFile, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE SHA256File(BSTR InputFile, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Adler32File(BSTR InputFile, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE ControlName(BSTR* result) = 0;
};

} // namespace qtv::com
