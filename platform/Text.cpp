#include "platform/Text.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace bootlume {

Text::Text(const char* text) {
  if (text != nullptr) bytes_.assign(text);
}

Text::Text(std::string_view text) { bytes_.assign(text.substr(0, text.find('\0'))); }

std::int32_t TextLength(const Text& text) { return static_cast<std::int32_t>(text.View().size()); }

Text ConcatText(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view part : parts) total += part.size();
  std::basic_string<char, std::char_traits<char>, FatalAllocator<char>> joined;
  joined.reserve(total);
  for (std::string_view part : parts) joined.append(part.data(), part.size());
  return Text(std::string_view(joined.data(), joined.size()));
}

Text NumberToText(double number) {
  char digits[40];
  std::snprintf(digits, sizeof digits, "%.13g", number);
  return Text(digits);
}

std::int64_t TruncateToInteger(double number) {
  if (std::isnan(number)) return 0;
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (number >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (number < -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(number);  // conversion truncates toward zero
}

}  // namespace bootlume
