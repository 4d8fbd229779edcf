// The file dialog's filter conversion on an arbitrary filter text (taken as
// a Text, as the dialog holds it: up to its first NUL).
// Properties: a filter that is empty after cutting trailing white space
// gives no list; any other gives a list that ends in two NULs, holds no "|",
// and reads back as the label and pattern pairs of the trimmed text's parts
// up to the first empty one (an odd count ending in an empty pattern); each
// pattern becomes a matcher pattern with its blank-trimmed, non-empty
// alternatives, "*" when there are none.
#include <string>
#include <vector>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/fuzz/checks/InputReader.h"
#include "platform/Text.h"
#include "ui/FilterList.h"

namespace bootlume::fuzz {
namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.emplace_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

std::string ExpectedMatcher(std::string_view pattern) {
  std::vector<std::string> alternatives;
  for (std::string one : Split(pattern, ';')) {
    const std::size_t first = one.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    one = one.substr(first, one.find_last_not_of(" \t") - first + 1);
    alternatives.push_back(one);
  }
  if (alternatives.empty()) return "*";
  if (alternatives.size() == 1) return alternatives.front();
  std::string joined;
  for (const std::string& one : alternatives) joined += (joined.empty() ? "{" : ",") + one;
  return joined + "}";
}

}  // namespace

CheckResult CheckFilterList(ByteView input) {
  const Text filter(InputReader(input).RestAsText());
  std::string_view trimmed = filter.View();
  while (!trimmed.empty() && std::string_view(" \t\r\n").find(trimmed.back()) != std::string_view::npos) {
    trimmed.remove_suffix(1);
  }
  const std::string list = BuildFilterList(filter.View());
  if (trimmed.empty()) return list.empty() ? CheckResult::Pass() : CheckResult::Fail("a blank filter gave a list");
  if (list.size() < 2 || list[list.size() - 1] != '\0' || list[list.size() - 2] != '\0') {
    return CheckResult::Fail("the list does not end in two NULs");
  }
  if (list.find('|') != std::string::npos) return CheckResult::Fail("a \"|\" is left in the list");

  std::vector<FilterEntry> expected;
  const std::vector<std::string> parts = Split(trimmed, '|');
  std::vector<std::string> used;
  for (const std::string& part : parts) {
    if (part.empty()) break;
    used.push_back(part);
  }
  for (std::size_t i = 0; i < used.size(); i += 2) {
    expected.push_back({used[i], i + 1 < used.size() ? used[i + 1] : std::string()});
  }
  const std::vector<FilterEntry> entries = FilterEntries(filter.View());
  if (entries != expected || ReadFilterList(list) != expected) {
    return CheckResult::Fail("the list reads back as " + std::to_string(entries.size()) + " entries, " +
                             std::to_string(expected.size()) + " expected, or with other texts");
  }
  for (const FilterEntry& entry : entries) {
    if (MatchingPattern(entry.pattern) != ExpectedMatcher(entry.pattern)) {
      return CheckResult::Fail("the pattern \"" + entry.pattern + "\" becomes the matcher \"" +
                               MatchingPattern(entry.pattern) + "\"");
    }
  }
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
