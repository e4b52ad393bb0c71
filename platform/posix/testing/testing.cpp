#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "platform/testing.h"

namespace qtv::platform::testing {

void SetTempFolderVariable(const std::filesystem::path& path) { setenv("TMPDIR", path.c_str(), 1); }

// Without a desktop, message boxes write one line each to standard error: the capture hides the desktop
// from the control for its lifetime and redirects standard error to a file.
struct MessageCapture::State {
  std::FILE* file = nullptr;
  int savedDescriptor = -1;
  std::vector<std::pair<const char*, std::string>> hiddenVariables;
};

MessageCapture::MessageCapture() : state_(std::make_unique<State>()) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    if (const char* value = std::getenv(name)) {
      state_->hiddenVariables.emplace_back(name, value);
      unsetenv(name);
    }
  }
  std::fflush(stderr);
  state_->file = std::tmpfile();
  state_->savedDescriptor = dup(STDERR_FILENO);
  dup2(fileno(state_->file), STDERR_FILENO);
}

MessageCapture::~MessageCapture() {
  std::fflush(stderr);
  dup2(state_->savedDescriptor, STDERR_FILENO);
  close(state_->savedDescriptor);
  std::fclose(state_->file);
  for (const auto& [name, value] : state_->hiddenVariables) setenv(name, value.c_str(), 1);
}

std::vector<std::string> MessageCapture::Messages() {
  std::fflush(stderr);
  std::string contents;
  std::rewind(state_->file);
  for (int c; (c = std::fgetc(state_->file)) != EOF;) contents += static_cast<char>(c);
  std::vector<std::string> messages;
  std::istringstream lines(contents);
  // "caption: text" becomes "caption|text".
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.find(": ");
    messages.push_back(colon == std::string::npos ? line
                                                  : line.substr(0, colon) + "|" + line.substr(colon + 2));
  }
  return messages;
}

struct ExclusiveHold::State {};
ExclusiveHold::ExclusiveHold(const std::filesystem::path&) {}
ExclusiveHold::~ExclusiveHold() = default;
bool ExclusiveHold::held() const noexcept { return false; }

} // namespace qtv::platform::testing
