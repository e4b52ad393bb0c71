#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/about_dialog.h"

namespace qtv::about {

// The maker's addresses, shown by Label2 and Label4 and opened by a click on them.
inline constexpr std::u16string_view kWebAddress = u"https://www.example.com/qtv/";
inline constexpr std::u16string_view kMailAddress = u"support@example.com";
inline constexpr std::u16string_view kMailPrefix = u"mailto:";

// Text1's contents: 281 characters, ending with a blank, a carriage return and a line feed.
inline constexpr std::u16string_view kDescription =
    u"ActiveX OCX to compute very fast the checksum of strings or files using Adler32 , CRC32 , MD5 , "
    u"SHA-1 and SHA-256 , the code is optimized for new AMD and Intel processors and the checksum code is "
    u"loaded dynamically in the same address space of the application unsing the control \r\n";

// Form1's controls by their place in the tab order, which is also their index in the design.
enum Form1Control : std::size_t { kText1, kLabel1, kLabel2, kLabel4, kCommand1, kForm1ControlCount };

const platform::FormDesign& Form1Design();

// The about box. One instance is one load of the form: the caption is set by Load, and an instance is
// never shown twice.
class Form1 final : private platform::FormEvents {
public:
  // Loads the form, shows it modally and returns when it is unloaded.
  void Show();

  [[nodiscard]] const std::u16string& Caption() const noexcept { return caption_; }

private:
  void Load(platform::FormWindow form) override;
  void Click(platform::FormWindow form, std::size_t control) override;

  std::u16string caption_;
};

} // namespace qtv::about
