#include <windows.h>

#include <algorithm>
#include <array>

#include "platform/testing.h"
#include "platform/unique_handle.h"

namespace qtv::platform::testing {
namespace {

struct Capture {
  std::vector<std::string> messages;
  // Each box is one message, however often it is activated while it opens.
  std::vector<HWND> boxes;
};

// The capture that a box on this thread reports to; the hook procedure has no other way to reach it.
thread_local Capture* tCapture = nullptr;

std::string WindowText(HWND window) {
  std::array<char, 1024> text{};
  GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return text.data();
}

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && tCapture != nullptr) {
    const auto box = reinterpret_cast<HWND>(wParam);
    std::array<char, 64> className{};
    GetClassNameA(box, className.data(), static_cast<int>(className.size()));
    // Under Wine the hook also sees other programs' windows becoming active, and tests run side by side
    // show boxes with the same caption: only this thread's own boxes count.
    if (std::string(className.data()) == "#32770" &&
        GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId() &&
        std::find(tCapture->boxes.begin(), tCapture->boxes.end(), box) == tCapture->boxes.end()) {
      tCapture->boxes.push_back(box);
      // A message box keeps its text in the static control 0xFFFF; OK alone means no other button.
      constexpr int kTextControl = 0xFFFF;
      std::string entry = WindowText(box) + "|" + WindowText(GetDlgItem(box, kTextControl));
      const bool okOnly = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr &&
                          GetDlgItem(box, IDYES) == nullptr && GetDlgItem(box, IDNO) == nullptr;
      if (!okOnly) entry += "|not OK only";
      tCapture->messages.push_back(entry);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

inline constexpr auto kUnhook = [](HHOOK hook) noexcept { UnhookWindowsHookEx(hook); };
inline constexpr auto kCloseFileHandle = [](HANDLE handle) noexcept { CloseHandle(handle); };
inline constexpr auto kInvalidFileHandle = [] { return INVALID_HANDLE_VALUE; };

} // namespace

void SetTempFolderVariable(const std::filesystem::path& path) {
  SetEnvironmentVariableW(L"TMP", path.c_str());
  SetEnvironmentVariableW(L"TEMP", path.c_str());
}

struct MessageCapture::State {
  Capture capture;
  Capture* outer = nullptr;
  UniqueHandle<HHOOK, nullptr, kUnhook> hook;
};

MessageCapture::MessageCapture() : state_(std::make_unique<State>()) {
  state_->outer = tCapture;
  tCapture = &state_->capture;
  state_->hook.reset(SetWindowsHookExA(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId()));
}

MessageCapture::~MessageCapture() { tCapture = state_->outer; }

std::vector<std::string> MessageCapture::Messages() { return state_->capture.messages; }

struct ExclusiveHold::State {
  UniqueHandle<HANDLE, kInvalidFileHandle, kCloseFileHandle> file;
};

ExclusiveHold::ExclusiveHold(const std::filesystem::path& path) : state_(std::make_unique<State>()) {
  state_->file.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}
ExclusiveHold::~ExclusiveHold() = default;
bool ExclusiveHold::held() const noexcept { return state_->file.valid(); }

} // namespace qtv::platform::testing
