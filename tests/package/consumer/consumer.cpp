// Uses the installed control library as any program would, and checks one checksum of each kind.
#include <cstdio>
#include <string>

#include <qtvchecksum/qtv_checksum.h>

int main() {
  qtv::QTVChecksum control;
  int events = 0;
  control.ConnectErrorCode([&events](std::int32_t& number, std::u16string&) { events += number; });
  const bool ok = control.MD5String(u"abc", 3) == u"900150983cd24fb0d6963f7d28e17f72" &&
                  control.CRC32String(u"abc", 3) == u"352441c2" && control.MD5File(u"") == u"" &&
                  events == 3 && control.ControlName() == u"QTV Checksum OCX 1.0.0";
  std::puts(ok ? "consumer: ok" : "consumer: WRONG");
  return ok ? 0 : 1;
}
