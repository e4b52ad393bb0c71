#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/interface1.h"
#include "host/dll_interface2.h"
#include "host/dll_interface2_testing.h"
#include "platform/file_system.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "qtvchecksum/control_error.h"
#include "tests/support/engine_folder_test.h"

namespace qtv::host::testing {

namespace fs = std::filesystem;

inline const std::string kCaption = "QTV Checksum OCX 1.0.0";
inline const std::string kLoadFailed = kCaption + "|error loading the dll";
inline const std::string kEntryMissing = kCaption + "|error locating the interface1 function ";

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
// The shared fixture, with what the host's own tests add: the built engine and one request.
class HostTest : public qtv::testing::EngineFolderTest {
protected:
  static fs::path BuiltEngine() { return QTV_ENGINE_FILE; }

  // One checksum request as a control method makes it: make sure of the engine, then call it.
  static std::u16string Md5Request(const std::u16string& text) {
    EnsureEngineLoaded();
    std::u16string command = u"md5string";
    std::u16string input = text;
    std::u16string output = std::u16string(300, u' ') + u'\0';
    CallEngine(command, input, output, static_cast<std::int32_t>(platform::ToAnsi(text).size()));
    return output.substr(0, 32);
  }

  // The request ends with error 70, naming the engine folder under `temp`.
  void ExpectError70(const fs::path& temp) const {
    try {
      EnsureEngineLoaded();
      ADD_FAILURE() << "no error";
    } catch (const ControlError& error) {
      EXPECT_EQ(error.number(), 70);
      EXPECT_EQ(error.description(), u"Unable to create the destination folder " +
                                         (temp / EngineFolder().filename()).u16string() +
                                         platform::kPathSeparator);
    }
  }
};

inline const std::u16string kMd5OfAbc = u"900150983cd24fb0d6963f7d28e17f72";

} // namespace qtv::host::testing
