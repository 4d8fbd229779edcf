// Text: a NUL-terminated byte string in the host's narrow encoding (UTF-8
// here), used for paths, command lines and messages.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/FatalAllocator.h"

namespace bootlume {

// A value type; an absent text equals the empty text. It never holds a NUL:
// building one from bytes keeps what comes before the first NUL.
class Text {
 public:
  Text() = default;
  Text(const char* text);       // NOLINT: literals convert implicitly
  Text(std::string_view text);  // NOLINT

  const char* CStr() const { return bytes_.c_str(); }
  std::string_view View() const { return {bytes_.data(), bytes_.size()}; }
  std::string String() const { return std::string(View()); }
  bool empty() const { return bytes_.empty(); }
  operator std::string_view() const { return View(); }

  friend bool operator==(const Text& a, const Text& b) { return a.bytes_ == b.bytes_; }

 private:
  std::basic_string<char, std::char_traits<char>, FatalAllocator<char>> bytes_;
};

// Number of bytes before the terminating NUL; 0 for an absent text.
std::int32_t TextLength(const Text& text);

// The texts joined in order; always a new text, empty when all parts are.
Text ConcatText(std::initializer_list<std::string_view> parts);

// The number as printf's "%.13g" writes it: 1004.0 gives "1004".
Text NumberToText(double number);

// Discards the fraction toward zero whatever the FPU rounding mode; NaN
// gives 0 and values beyond the 64-bit range saturate.
std::int64_t TruncateToInteger(double number);

}  // namespace bootlume
