#include "ui/FilterList.h"

namespace bootlume {
namespace {

bool IsTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string BuildFilterList(std::string_view filter) {
  while (!filter.empty() && IsTrailingSpace(filter.back())) filter.remove_suffix(1);
  if (filter.empty()) return {};
  std::string list(filter);
  if (!list.ends_with("||")) list += "||";
  for (char& c : list) {
    if (c == '|') c = '\0';
  }
  return list;
}

std::vector<FilterEntry> ReadFilterList(std::string_view list) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at < list.size()) {
    const std::size_t end = list.find('\0', at);
    const std::string_view part = list.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (part.empty()) break;
    parts.emplace_back(part);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  std::vector<FilterEntry> entries;
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    entries.push_back({parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string()});
  }
  return entries;
}

std::vector<FilterEntry> FilterEntries(std::string_view filter) { return ReadFilterList(BuildFilterList(filter)); }

std::string MatchingPattern(std::string_view pattern) {
  std::vector<std::string_view> alternatives;
  for (;;) {
    const std::size_t semicolon = pattern.find(';');
    const std::string_view one = Trim(pattern.substr(0, semicolon));
    if (!one.empty()) alternatives.push_back(one);
    if (semicolon == std::string_view::npos) break;
    pattern.remove_prefix(semicolon + 1);
  }
  if (alternatives.empty()) return "*";
  if (alternatives.size() == 1) return std::string(alternatives.front());
  std::string joined = "{";
  for (std::size_t i = 0; i < alternatives.size(); ++i) {
    if (i > 0) joined += ',';
    joined += alternatives[i];
  }
  return joined + "}";
}

}  // namespace bootlume
