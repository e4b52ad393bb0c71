// Without a display nothing may wait for a user: the about box and the message boxes say their texts on
// standard error and return at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "about/about_box.h"
#include "platform/message_box.h"

namespace {

constexpr char kAboutText[] = "QTV Checksum OCX 1.0.0\n"
                              "ActiveX OCX to compute very fast the checksum of strings or files using "
                              "Adler32 , CRC32 , MD5 , SHA-1 and "
                              "SHA-256 , the code is optimized for new AMD and Intel processors and the "
                              "checksum code is loaded dynamically "
                              "in the same address space of the application unsing the control\n";

// Runs `call`, returning what it wrote to standard error; fails when it took long enough to have waited.
template <typename Call> std::string StandardErrorOf(Call call) {
  ::testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  call();
  const auto took = std::chrono::steady_clock::now() - start;
  std::string written = ::testing::internal::GetCapturedStderr();
  EXPECT_LT(took, std::chrono::seconds(2)) << "the call waited";
  return written;
}

class NoDisplay : public ::testing::Test {
protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
  }
};

TEST_F(NoDisplay, AboutWritesTheCaptionAndTheDescriptionAndReturns) {
  EXPECT_EQ(StandardErrorOf(qtv::about::ShowAboutBox), kAboutText);
  // Every call, not just the first.
  EXPECT_EQ(StandardErrorOf(qtv::about::ShowAboutBox), kAboutText);
}

TEST_F(NoDisplay, AMessageBoxWritesTheTitleAndTheText) {
  EXPECT_EQ(StandardErrorOf([] { qtv::platform::ShowMessage(u"error loading the dll"); }),
            "QTV Checksum OCX 1.0.0: error loading the dll\n");
}

TEST_F(NoDisplay, ADisplayThatCannotBeOpenedCountsAsNone) {
  // As after a remote session has ended: the variable is there, the server is not.
  setenv("DISPLAY", ":4093", 1);
  EXPECT_NE(StandardErrorOf(qtv::about::ShowAboutBox).find(kAboutText), std::string::npos);
  EXPECT_NE(StandardErrorOf([] { qtv::platform::ShowMessage(u"x"); }).find("QTV Checksum OCX 1.0.0: x\n"),
            std::string::npos);
}

} // namespace
