#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "export.h"

namespace qtv {

// A failure that the control does not handle itself. It ends the method that met it and reaches the
// caller as the method's failure status, with its number and description (COM callers see it as an
// exception with scode 0x800A0000 | number, an invalid argument excepted: see below).
class QTV_EXPORT ControlError : public std::runtime_error {
public:
  ControlError(std::int32_t number, std::u16string description)
      : std::runtime_error("control error " + std::to_string(number)), number_(number),
        description_(std::move(description)) {}

  [[nodiscard]] std::int32_t number() const noexcept { return number_; }
  [[nodiscard]] const std::u16string& description() const noexcept { return description_; }

private:
  std::int32_t number_;
  std::u16string description_;
};

// A method given an argument it cannot take (a negative Length): number 5, the number script hosts give
// an invalid procedure call or argument. COM callers see it as E_INVALIDARG, which those hosts report
// as that same error.
class QTV_EXPORT InvalidArgumentError : public ControlError {
public:
  InvalidArgumentError() : ControlError(5, u"Invalid procedure call or argument") {}
};

} // namespace qtv
