#include "ui/fltk/FltkFileChooser.h"

#include <FL/Fl_File_Chooser.H>
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

namespace {

// FLTK's own dialog (used where GTK is missing) speaks the users' language.
void SpeakChinese() {
  Fl_File_Chooser::add_favorites_label = "添加到收藏夹";
  Fl_File_Chooser::all_files_label = "所有文件 (*)";
  Fl_File_Chooser::custom_filter_label = "自定义筛选器";
  Fl_File_Chooser::existing_file_label = "请选择一个已有的文件！";
  Fl_File_Chooser::favorites_label = "收藏夹";
  Fl_File_Chooser::filename_label = "文件名:";
  Fl_File_Chooser::filesystems_label = "文件系统";
  Fl_File_Chooser::manage_favorites_label = "管理收藏夹";
  Fl_File_Chooser::new_directory_label = "新文件夹名称:";
  Fl_File_Chooser::new_directory_tooltip = "新建文件夹";
  Fl_File_Chooser::preview_label = "预览";
  Fl_File_Chooser::save_label = "保存";
  Fl_File_Chooser::show_label = "显示:";
  Fl_File_Chooser::hidden_label = "显示隐藏文件";
  fl_ok = "确定";
  fl_cancel = "取消";
  fl_yes = "是";
  fl_no = "否";
  fl_close = "关闭";
}

}  // namespace

std::optional<Text> FltkFileChooser::Choose(const FileChooserRequest& request) {
  namespace fs = std::filesystem;
  static const bool spoken = (SpeakChinese(), true);
  (void)spoken;
  Fl_Native_File_Chooser chooser(request.save ? Fl_Native_File_Chooser::BROWSE_SAVE_FILE
                                              : Fl_Native_File_Chooser::BROWSE_FILE);
  // The titles a Chinese system gives its open and save dialogs.
  chooser.title(request.save ? "另存为" : "打开");
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
