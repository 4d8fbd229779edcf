#include "ui/fltk/FltkFileChooser.h"

#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <filesystem>
#include <string>

namespace bootlume {

std::string ChooserFilter(const std::vector<FilterEntry>& filters) {
  std::string text;
  for (const FilterEntry& entry : filters) {
    if (!text.empty()) text += '\n';
    text += entry.label + '\t' + MatchingPattern(entry.pattern);
  }
  return text;
}

std::optional<Text> FltkFileChooser::Choose(const FileChooserRequest& request) {
  namespace fs = std::filesystem;
  Fl_Native_File_Chooser chooser(request.save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                                              : Fl_Native_File_Chooser::BROWSE_FILE);
  if (request.save) chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM);
  const std::string filter = ChooserFilter(request.filters);
  if (!filter.empty()) {
    chooser.filter(filter.c_str());
    chooser.filter_value(0);
  }
  std::string folder, name;
  if (!request.initialPath.empty()) {
    const fs::path initial(request.initialPath.String());
    folder = initial.parent_path().string();
    name = initial.filename().string();
    if (!folder.empty()) chooser.directory(folder.c_str());
    if (!name.empty()) chooser.preset_file(name.c_str());
  }
  for (;;) {
    if (chooser.show() != 0) return std::nullopt;  // cancelled or failed
    const char* chosen = chooser.filename();
    if (chosen == nullptr || *chosen == '\0') return std::nullopt;
    std::error_code error;
    // An open dialog lets only an existing file through; ask again.
    if (!request.save && !fs::is_regular_file(chosen, error)) {
      fl_alert("%s\n找不到文件。请检查文件名是否正确。", chosen);
      continue;
    }
    return Text(chosen);
  }
}

}  // namespace bootlume
