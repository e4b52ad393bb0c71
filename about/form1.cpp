#include "about/form1.h"

#include <array>
#include <cstdio>
#include <string>

#include "platform/message_box.h"
#include "platform/text.h"

namespace qtv::about {

namespace {

using platform::ControlDesign;
using platform::ControlKind;
using platform::FontDesign;

constexpr FontDesign kFormFont{"MS Sans Serif", 825, false};
constexpr FontDesign kTitleFont{"MS Sans Serif", 1350, false};
constexpr FontDesign kLinkFont{"MS Sans Serif", 825, true};

constexpr std::array<ControlDesign, kForm1ControlCount> kControls{{
    {"Text1", ControlKind::kTextBox, 480, 1680, 3855, 1335, kDescription, std::nullopt},
    {"Label1", ControlKind::kLabel, 480, 240, 3855, 375, u"QTV Software", kTitleFont},
    {"Label2", ControlKind::kLinkLabel, 1320, 720, 3015, 255, kWebAddress, kLinkFont},
    {"Label4", ControlKind::kLinkLabel, 1320, 960, 3255, 255, kMailAddress, kLinkFont},
    {"Command1", ControlKind::kButton, 3000, 3120, 1335, 375, u"Exit", std::nullopt},
}};

constexpr platform::FormDesign kForm1{"Form1", 4815, 3660, kFormFont, kControls};

static_assert(kDescription.size() == 281);

} // namespace

const platform::FormDesign& Form1Design() { return kForm1; }

void Form1::Show() {
  if (!platform::DesktopAvailable()) {
    // Nobody could see or close a window: say what the box would have said, and return.
    caption_ = platform::kControlTitle;
    std::u16string text = caption_ + u"\n" + std::u16string(kDescription);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' '))
      text.pop_back();
    std::fprintf(stderr, "%s\n", platform::ToAnsi(text).c_str());
    return;
  }
  platform::ShowAboutDialog(kForm1, *this);
}

void Form1::Load(platform::FormWindow form) {
  caption_ = platform::kControlTitle;
  platform::SetFormCaption(form, caption_);
}

void Form1::Click(platform::FormWindow form, std::size_t control) {
  switch (control) {
  case kLabel2:
    platform::OpenAddress(form, kWebAddress);
    break;
  case kLabel4:
    platform::OpenAddress(form, std::u16string(kMailPrefix) + std::u16string(kMailAddress));
    break;
  case kCommand1:
    platform::UnloadForm(form);
    break;
  default:
    break;
  }
}

} // namespace qtv::about
