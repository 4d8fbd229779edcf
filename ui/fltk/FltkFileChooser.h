// The file dialog through FLTK's native chooser: GTK's dialog where GTK is
// installed, FLTK's own otherwise.
#pragma once

#include "ui/FileDialog.h"

namespace bootlume {

class FltkFileChooser : public FileChooser {
 public:
  std::optional<Text> Choose(const FileChooserRequest& request) override;
};

// The chooser's filter text for the dialog's entries: "label<TAB>pattern"
// lines with the patterns in matching form.
std::string ChooserFilter(const std::vector<FilterEntry>& filters);

}  // namespace bootlume
