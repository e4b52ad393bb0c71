#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Services that tests need and that differ between Windows and Linux. Not part of the product.
namespace qtv::platform::testing {

// Points the user's temporary folder at `path` for this process (TMP and TEMP on Windows, TMPDIR on
// Linux), as the system's temporary folder query will answer it: in UTF-16 on Windows, as bytes on Linux.
void SetTempFolderVariable(const std::filesystem::path& path);

// Watches the control's message boxes on the calling thread while it lives: each box is recorded as
// "caption|text" and answered with OK at once. Where boxes go to standard error, the lines written
// there are recorded instead.
class MessageCapture {
public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;
  // What was shown so far; a box offering anything but one OK button is recorded with "|not OK only".
  std::vector<std::string> Messages();

private:
  struct State;
  std::unique_ptr<State> state_;
};

// Holds a file open so that nobody else may read it, as another program can on Windows; false where the
// system has no such lock (the file is then not held).
class ExclusiveHold {
public:
  explicit ExclusiveHold(const std::filesystem::path& path);
  ~ExclusiveHold();
  ExclusiveHold(const ExclusiveHold&) = delete;
  ExclusiveHold& operator=(const ExclusiveHold&) = delete;
  [[nodiscard]] bool held() const noexcept;

private:
  struct State;
  std::unique_ptr<State> state_;
};

} // namespace qtv::platform::testing
