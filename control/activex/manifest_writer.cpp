// Writes the control library's assembly manifest, with which a program uses the control unregistered:
//   manifest_writer LIBRARY.ocx ASSEMBLY.manifest PROGRAM.manifest
// Runs at build time, after the library is built, in the library's folder. It states what registration
// writes, from the same sources: the class facts of control/control_registration.h and the type library
// embedded in the built library, read as registration reads it. The assembly is named after the library
// file, so that a program finds it as NAME.manifest beside NAME.ocx. The second file is the manifest of
// a program that uses the control so (PROGRAM.exe.manifest beside PROGRAM.exe), for such programs to copy.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include "control/activex/com_handles.h"
#include "control/activex/marshalled_interfaces.h"
#include "control/control_registration.h"
#include "control/type_library.h"

namespace {

using qtv::com::Bstr;
using qtv::com::ComPtr;
using qtv::com::Out;
using qtv::com::ToGuid;
using namespace qtv::control;

struct Failure {
  const char* step;
  HRESULT result;
};

void Check(HRESULT result, const char* step) {
  if (FAILED(result)) throw Failure{step, result};
}

#if defined(_WIN64)
constexpr const char* kArchitecture = "amd64";
#else
constexpr const char* kArchitecture = "x86";
#endif

std::string Narrow(const wchar_t* text, std::size_t length) { return std::string(text, text + length); }
std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }
std::string Narrow(BSTR text) { return Narrow(text, SysStringLen(text)); }

std::string GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  const int length = StringFromGUID2(guid, text, 40);
  return Narrow(text, length > 0 ? static_cast<std::size_t>(length - 1) : 0);
}
std::string GuidText(const Guid& guid) { return GuidText(ToGuid(guid)); }

// Only the five characters XML reserves are written otherwise.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&apos;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

// Names of set bits, comma separated, in the manifest schema's spelling.
template <std::size_t N>
std::string Names(unsigned long bits, const std::pair<unsigned long, const char*> (&names)[N]) {
  std::string list;
  for (const auto& [bit, name] : names) {
    if ((bits & bit) == 0) continue;
    if (!list.empty()) list += ',';
    list += name;
    bits &= ~bit;
  }
  if (bits != 0) throw Failure{"naming every status or flag bit", E_UNEXPECTED};
  return list;
}

constexpr std::pair<unsigned long, const char*> kMiscStatusNames[] = {
    {OLEMISC_RECOMPOSEONRESIZE, "recomposeonresize"},
    {OLEMISC_ONLYICONIC, "onlyiconic"},
    {OLEMISC_INSERTNOTREPLACE, "insertnotreplace"},
    {OLEMISC_STATIC, "static"},
    {OLEMISC_CANTLINKINSIDE, "cantlinkinside"},
    {OLEMISC_CANLINKBYOLE1, "canlinkbyole1"},
    {OLEMISC_ISLINKOBJECT, "islinkobject"},
    {OLEMISC_INSIDEOUT, "insideout"},
    {OLEMISC_ACTIVATEWHENVISIBLE, "activatewhenvisible"},
    {OLEMISC_RENDERINGISDEVICEINDEPENDENT, "renderingisdeviceindependent"},
    {OLEMISC_INVISIBLEATRUNTIME, "invisibleatruntime"},
    {OLEMISC_ALWAYSRUN, "alwaysrun"},
    {OLEMISC_ACTSLIKEBUTTON, "actslikebutton"},
    {OLEMISC_ACTSLIKELABEL, "actslikelabel"},
    {OLEMISC_NOUIACTIVATE, "nouiactivate"},
    {OLEMISC_ALIGNABLE, "alignable"},
    {OLEMISC_SIMPLEFRAME, "simpleframe"},
    {OLEMISC_SETCLIENTSITEFIRST, "setclientsitefirst"},
    {OLEMISC_IMEMODE, "imemode"},
    {OLEMISC_IGNOREACTIVATEWHENVISIBLE, "ignoreactivatewhenvisible"},
    {OLEMISC_WANTSTOMENUMERGE, "wantstomenumerge"},
    {OLEMISC_SUPPORTSMULTILEVELUNDO, "supportsmultilevelundo"},
};

constexpr std::pair<unsigned long, const char*> kLibraryFlagNames[] = {
    {LIBFLAG_FRESTRICTED, "RESTRICTED"},
    {LIBFLAG_FCONTROL, "CONTROL"},
    {LIBFLAG_FHIDDEN, "HIDDEN"},
    {LIBFLAG_FHASDISKIMAGE, "HASDISKIMAGE"},
};

// The assembly's identity, as its own manifest states it and programs that use it name it.
std::string Identity(const std::string& assembly) {
  return "<assemblyIdentity type=\"win32\" name=\"" + Escaped(assembly) + "\" version=\"" +
         std::to_string(QTV_CONTROL_VERSION_MAJOR) + "." + std::to_string(QTV_CONTROL_VERSION_MINOR) + "." +
         std::to_string(QTV_CONTROL_VERSION_BUILD) + "." + std::to_string(QTV_CONTROL_VERSION_REVISION) +
         "\" processorArchitecture=\"" + kArchitecture + "\"/>";
}

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n";

std::string AssemblyName(const std::string& libraryFile) {
  return libraryFile.substr(0, libraryFile.find_last_of('.'));
}

std::string ProgramManifest(const std::string& libraryFile) {
  return std::string(kHeader) + "  <dependency>\r\n    <dependentAssembly>\r\n      " +
         Identity(AssemblyName(libraryFile)) +
         "\r\n    </dependentAssembly>\r\n  </dependency>\r\n</assembly>\r\n";
}

void Write(const char* path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw Failure{"writing a manifest", E_FAIL};
}

std::string Manifest(const std::wstring& libraryFile) {
  ComPtr<ITypeLib> library;
  Check(LoadTypeLibEx(libraryFile.c_str(), REGKIND_NONE, Out(library)), "LoadTypeLibEx");
  TLIBATTR* attributes = nullptr;
  Check(library.get()->GetLibAttr(&attributes), "GetLibAttr");
  const std::string version =
      std::to_string(attributes->wMajorVerNum) + "." + std::to_string(attributes->wMinorVerNum);
  const std::string flags = Names(attributes->wLibFlags, kLibraryFlagNames);
  library.get()->ReleaseTLibAttr(attributes);

  const std::string fileName = Narrow(libraryFile.c_str(), libraryFile.size());
  const std::string typeLibrary = GuidText(kTypeLibraryId);
  const std::string miscStatus = Names(kMiscStatus, kMiscStatusNames);
  std::string text = kHeader;
  text += "  " + Identity(AssemblyName(fileName)) + "\r\n";
  text += "  <file name=\"" + Escaped(fileName) + "\">\r\n";
  // The status for every aspect and for the content aspect, as registration writes both.
  text += "    <comClass clsid=\"" + GuidText(kClassId) + "\" progid=\"" + Escaped(Narrow(kProgId)) +
          "\" threadingModel=\"" + Escaped(Narrow(kThreadingModel)) + "\" tlbid=\"" + typeLibrary +
          "\" description=\"" + Escaped(Narrow(kClassDescription)) + "\" miscStatus=\"" + miscStatus +
          "\" miscStatusContent=\"" + miscStatus + "\"/>\r\n";
  text += "    <typelib tlbid=\"" + typeLibrary + "\" version=\"" + version + "\" flags=\"" + flags +
          "\" helpdir=\"\"/>\r\n";
  text += "  </file>\r\n";
  // Every interface registration names, with the same proxy/stub, so that calls and events cross
  // apartments as they do registered.
  Check(qtv::com::ForEachMarshalledInterface(*library.get(),
                                             [&](const qtv::com::MarshalledInterface& entry) {
                                               text += "  <comInterfaceExternalProxyStub name=\"" +
                                                       Escaped(Narrow(entry.name.get())) + "\" iid=\"" +
                                                       GuidText(entry.iid) + "\" proxyStubClsid32=\"" +
                                                       GuidText(entry.proxyStub) + "\" tlbid=\"" +
                                                       typeLibrary + "\"/>\r\n";
                                             }),
        "listing the interfaces");
  text += "</assembly>\r\n";
  return text;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: manifest_writer LIBRARY.ocx ASSEMBLY.manifest PROGRAM.manifest\n", stderr);
    return 2;
  }
  try {
    const std::string library = argv[1];
    Write(argv[2], Manifest(std::wstring(library.begin(), library.end())));
    Write(argv[3], ProgramManifest(library));
  } catch (const Failure& failure) {
    std::fprintf(stderr, "manifest_writer: %s failed with 0x%08lx\n", failure.step,
                 static_cast<unsigned long>(failure.result));
    return 1;
  }
  return 0;
}
