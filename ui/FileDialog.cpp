#include "ui/FileDialog.h"

#include <filesystem>
#include <system_error>

namespace bootlume {

FileDialog::FileDialog(FileChooser& chooser, std::int32_t kind, Text filter, Text fileName)
    : chooser_(chooser), kind_(kind), filter_(std::move(filter)), fileName_(std::move(fileName)) {}

bool FileDialog::Open() {
  FileChooserRequest request;
  request.save = kind_ == kSaveDialog;
  request.filters = FilterEntries(filter_.View());
  request.initialPath = fileName_;
  const std::optional<Text> chosen = chooser_.Choose(request);
  if (!chosen || chosen->empty()) return false;

  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path path = fs::absolute(fs::path(chosen->String()), error).lexically_normal();
  if (error || !path.has_filename()) return false;
  // The dialog lets through only an existing file to open and a name in an
  // existing folder to save; a chooser that did not is a failed dialog.
  const fs::path folder = path.parent_path();
  if (!fs::is_directory(folder, error)) return false;
  if (!request.save && (fs::is_directory(path, error) || !fs::exists(path, error))) return false;
  // Later writes under fixed names land beside the chosen file.
  fs::current_path(folder, error);
  if (error) return false;
  fileName_ = Text(path.string());
  return true;
}

}  // namespace bootlume
