// The window's common file dialog: one component used for opening a picture
// and for choosing where to save, keeping its kind, filter and last file name
// from one use to the next.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Text.h"
#include "ui/FilterList.h"

namespace bootlume {

inline constexpr std::int32_t kOpenDialog = 0;
inline constexpr std::int32_t kSaveDialog = 1;

// What the toolkit's dialog is asked to show.
struct FileChooserRequest {
  bool save = false;                 // save dialog (asks before replacing) or open (file must exist)
  std::vector<FilterEntry> filters;  // label and pattern pairs, first one preselected; may be empty
  Text initialPath;                  // pre-fills the name box (and gives the folder) when not empty
};

// The toolkit's modal file dialog.
class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Runs the dialog until the user confirms a file or cancels; the chosen
  // file's path, or nothing on cancel or failure.
  virtual std::optional<Text> Choose(const FileChooserRequest& request) = 0;
};

class FileDialog {
 public:
  // Values as the window's form stores them.
  explicit FileDialog(FileChooser& chooser, std::int32_t kind = kOpenDialog, Text filter = "*.jpg", Text fileName = {});

  void SetKind(std::int32_t kind) { kind_ = kind; }
  std::int32_t Kind() const { return kind_; }
  void SetFilter(const Text& filter) { filter_ = filter; }
  const Text& Filter() const { return filter_; }
  // A copy of the path last confirmed (or the form's value).
  Text FileName() const { return fileName_; }

  // Shows the dialog (kind 1 save, anything else open) with the filter and
  // the last file name. On confirmation FileName becomes the chosen file's
  // full path, the current directory moves to that file's folder, and the
  // result is true. Cancel or failure return false and change nothing.
  bool Open();

 private:
  FileChooser& chooser_;
  std::int32_t kind_;
  Text filter_;
  Text fileName_;
};

}  // namespace bootlume
