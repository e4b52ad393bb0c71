// Computes the five checksums of a text and of a file with the checksum control, the way a host
// application uses it: create the control, listen to its ErrorCode event, call its methods.
// Usage: checksum_example [TEXT [FILE]]
#include <cstdio>
#include <string>

#include <qtvchecksum/qtv_checksum.h>

namespace {

// The control speaks UTF-16; this terminal speaks UTF-8. Characters outside the first plane are not
// needed by this example.
std::u16string Widen(const std::string& text) {
  std::u16string wide;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0xE0 && i + 2 < text.size()) {
      wide +=
          static_cast<char16_t>(((byte & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F));
      i += 2;
    } else if (byte >= 0xC0 && i + 1 < text.size()) {
      wide += static_cast<char16_t>(((byte & 0x1F) << 6) | (text[i + 1] & 0x3F));
      i += 1;
    } else {
      wide += static_cast<char16_t>(byte);
    }
  }
  return wide;
}

std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (const char16_t unit : text) {
    if (unit < 0x80) {
      narrow += static_cast<char>(unit);
    } else if (unit < 0x800) {
      narrow += static_cast<char>(0xC0 | (unit >> 6));
      narrow += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      narrow += static_cast<char>(0xE0 | (unit >> 12));
      narrow += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      narrow += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return narrow;
}

} // namespace

int main(int argc, char** argv) {
  const std::string utf8 = argc > 1 ? argv[1] : "The quick brown fox jumps over the lazy dog";
  const std::u16string text = Widen(utf8);
  const std::u16string file = Widen(argc > 2 ? argv[2] : argv[0]);
  // Length counts the bytes of the text's ANSI form, UTF-8 on Linux.
  const auto length = static_cast<std::int32_t>(utf8.size());

  qtv::QTVChecksum control;
  control.ConnectErrorCode([](std::int32_t& number, std::u16string& description) {
    std::fprintf(stderr, "ErrorCode %d: %s\n", number, Narrow(description).c_str());
  });
  try {
    std::printf("%s\n", Narrow(control.ControlName()).c_str());
    std::printf("text \"%s\"\n", Narrow(text).c_str());
    std::printf("  CRC32    %s\n", Narrow(control.CRC32String(text, length)).c_str());
    std::printf("  Adler32  %s\n", Narrow(control.Adler32String(text, length)).c_str());
    std::printf("  MD5      %s\n", Narrow(control.MD5String(text, length)).c_str());
    std::printf("  SHA-1    %s\n", Narrow(control.SHA1String(text, length)).c_str());
    std::printf("  SHA-256  %s\n", Narrow(control.SHA256String(text, length)).c_str());
    std::printf("file %s\n", Narrow(file).c_str());
    std::printf("  CRC32    %s\n", Narrow(control.CRC32File(file)).c_str());
    std::printf("  Adler32  %s\n", Narrow(control.Adler32File(file)).c_str());
    std::printf("  MD5      %s\n", Narrow(control.MD5File(file)).c_str());
    std::printf("  SHA-1    %s\n", Narrow(control.SHA1File(file)).c_str());
    std::printf("  SHA-256  %s\n", Narrow(control.SHA256File(file)).c_str());
  } catch (const qtv::ControlError& error) {
    std::fprintf(stderr, "error %d: %s\n", error.number(), Narrow(error.description()).c_str());
    return 1;
  }
  return 0;
}
