#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/testing.h"

namespace qtv::platform::testing {

void SetTempFolderVariable(const std::string& path) { setenv("TMPDIR", path.c_str(), 1); }

// Message boxes write one line each to standard error: the capture redirects it to a file.
struct MessageCapture::State {
  std::FILE* file = nullptr;
  int savedDescriptor = -1;
};

MessageCapture::MessageCapture() : state_(std::make_unique<State>()) {
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
    messages.push_back(colon == std::string::npos ? line : line.substr(0, colon) + "|" + line.substr(colon + 2));
  }
  return messages;
}

struct ExclusiveHold::State {};
ExclusiveHold::ExclusiveHold(const std::string&) {}
ExclusiveHold::~ExclusiveHold() = default;
bool ExclusiveHold::held() const noexcept { return false; }

} // namespace qtv::platform::testing
