#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "control_error.h"
#include "export.h"

namespace qtv {

// The checksum control. Its twelve methods, in their fixed order, and its one event, `ErrorCode`.
// Texts are UTF-16; a string method checksums the first `Length` bytes of the text's ANSI form.
//
// Problems the control finds itself (an empty file name: 3, an unreadable file: 5) raise `ErrorCode`
// and the method returns the empty text. A failure it does not handle (the engine folder cannot be
// created: 70) is thrown as qtv::ControlError, and no event is raised for it; so is a negative Length,
// as qtv::InvalidArgumentError (5).
//
// An instance belongs to the thread that created it: create, call and destroy it there. The instances on
// a thread share one engine, loaded by the first request and released when the last of them ends.
class QTV_EXPORT QTVChecksum {
public:
  // What a handler writes into the two values is discarded.
  using ErrorCodeHandler = std::function<void(std::int32_t& ErrorNumber, std::u16string& ErrorDescription)>;
  using Cookie = std::uint32_t; // never 0

  QTVChecksum() noexcept;
  QTVChecksum(const QTVChecksum&) = delete;
  QTVChecksum& operator=(const QTVChecksum&) = delete;
  ~QTVChecksum(); // the termination handler: the last instance on its thread releases the thread's engine

  void About();
  std::u16string CRC32String(std::u16string TheString, std::int32_t Length);
  std::u16string MD5String(std::u16string TheString, std::int32_t Length);
  std::u16string SHA1String(std::u16string TheString, std::int32_t Length);
  std::u16string SHA256String(std::u16string TheString, std::int32_t Length);
  std::u16string Adler32String(std::u16string TheString, std::int32_t Length);
  std::u16string CRC32File(std::u16string InputFile);
  std::u16string MD5File(std::u16string InputFile);
  std::u16string SHA1File(std::u16string InputFile);
  std::u16string SHA256File(std::u16string InputFile);
  std::u16string Adler32File(std::u16string InputFile);
  std::u16string ControlName();

  // The container's resize notification. Whatever size it asks for, the control keeps its fixed square of
  // 480 by 480 twips (32 by 32 pixels at 96 dots per inch) and answers with it in the two values.
  static constexpr std::int32_t kSizeInTwips = 480;
  void Resize(std::int32_t& Width, std::int32_t& Height) noexcept;

  // Connection to the `ErrorCode` event: handlers run synchronously, in the order connected, inside the
  // method that raises the event.
  Cookie ConnectErrorCode(ErrorCodeHandler handler);
  bool DisconnectErrorCode(Cookie cookie); // false for an unknown cookie

private:
  std::u16string StringChecksum(const char16_t* command, std::size_t resultLength, std::u16string TheString,
                                std::int32_t Length);
  std::u16string FileChecksum(const char16_t* command, std::size_t resultLength, std::u16string InputFile);
  void RaiseErrorCode(const std::int32_t& number);

  std::vector<std::pair<Cookie, ErrorCodeHandler>> handlers_;
  Cookie lastCookie_ = 0;
};

} // namespace qtv
