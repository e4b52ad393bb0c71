// Stands in for the browser and the mail program while the about box's links are tested: appends one
// line, "address|parameters|working folder|show command", to the file named by QTV_SHELL_LOG.
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

#include "platform/file_reading.h"

int main(int argc, char** argv) {
  std::array<char, MAX_PATH> log{};
  if (GetEnvironmentVariableA("QTV_SHELL_LOG", log.data(), static_cast<DWORD>(log.size())) == 0) return 1;
  std::array<char, MAX_PATH> folder{};
  GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  std::string line = std::string(argc > 1 ? argv[1] : "") + "|" + (argc > 2 ? argv[2] : "") + "|" +
                     folder.data() + "|" + std::to_string(show) + "\n";
  const qtv::platform::UniqueFile file(std::fopen(log.data(), "ab"));
  if (!file) return 1;
  std::fputs(line.c_str(), file.get());
  return 0;
}
