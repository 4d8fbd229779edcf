// The file dialog's filter text, "label|pattern|label|pattern...", and its
// conversion to the dialog's list of label and pattern pairs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bootlume {

struct FilterEntry {
  std::string label;
  std::string pattern;
  friend bool operator==(const FilterEntry&, const FilterEntry&) = default;
};

// The NUL-separated list that the Windows dialogs take: trailing white space
// cut, "||" appended unless already there, every "|" made a NUL. Empty when
// the trimmed filter is empty (no filter list at all). In UTF-8 a "|" byte is
// never part of a longer character, so the scan works byte by byte.
std::string BuildFilterList(std::string_view filter);

// Reads a NUL-separated list as the dialogs do: strings up to the first empty
// one, taken in label and pattern pairs; an odd count ends in an empty pattern.
std::vector<FilterEntry> ReadFilterList(std::string_view list);

// Both steps at once.
std::vector<FilterEntry> FilterEntries(std::string_view filter);

// A dialog pattern as a toolkit's matcher takes it: blanks around each
// ";"-separated alternative trimmed, several alternatives as "{a,b}", and an
// empty pattern as "*".
std::string MatchingPattern(std::string_view pattern);

}  // namespace bootlume
