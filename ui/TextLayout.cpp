#include "ui/TextLayout.h"

#include <array>

namespace bootlume {
namespace {

// Length of the UTF-8 character starting at `at` (1 for stray bytes).
std::size_t CharLength(std::string_view text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (at + length > text.size()) length = 1;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

bool ClosesPhrase(std::string_view character) {
  static constexpr std::array<std::string_view, 16> kClosing = {",", ".",  ";",  ":",  "!",  "?",  ")",  "]",
                                                                "}", "，", "。", "、", "；", "：", "！", "？"};
  for (std::string_view closing : kClosing) {
    if (character == closing) return true;
  }
  return character == "）" || character == "」";
}

// Whether a line may break between `before` and `after`.
bool MayBreakBetween(std::string_view before, std::string_view after) {
  if (ClosesPhrase(after)) return false;
  if (before == " ") return true;
  return static_cast<unsigned char>(before[0]) >= 0x80 || static_cast<unsigned char>(after[0]) >= 0x80;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

void WrapParagraph(std::string_view text, double width, const MeasureText& measure, std::vector<std::string>& lines) {
  std::size_t start = 0;
  std::size_t lastBreak = std::string_view::npos;  // a break may go here
  std::size_t at = start;
  while (at < text.size()) {
    const std::size_t length = CharLength(text, at);
    const std::size_t next = at + length;
    const bool firstOnLine = at == start;
    if (!firstOnLine && text[at] != ' ' && measure(TrimBlanks(text.substr(start, next - start))) > width) {
      const std::size_t cut = lastBreak != std::string_view::npos ? lastBreak : at;
      lines.emplace_back(TrimBlanks(text.substr(start, cut - start)));
      start = cut;
      while (start < text.size() && text[start] == ' ') ++start;
      lastBreak = std::string_view::npos;
      at = start;
      continue;
    }
    if (next < text.size() && MayBreakBetween(text.substr(at, length), text.substr(next, CharLength(text, next)))) {
      lastBreak = next;
    }
    at = next;
  }
  lines.emplace_back(TrimBlanks(text.substr(start)));
}

}  // namespace

std::string SingleLineCaption(std::string_view text) {
  std::string caption;
  for (char c : text) {
    if (c != '\r' && c != '\n') caption += c;
  }
  return caption;
}

std::vector<std::string> WrapText(std::string_view text, double width, const MeasureText& measure) {
  std::vector<std::string> lines;
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n");
    WrapParagraph(text.substr(0, end), width, measure, lines);
    if (end == std::string_view::npos) break;
    const std::size_t skip = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    text.remove_prefix(end + skip);
  }
  return lines;
}

}  // namespace bootlume
