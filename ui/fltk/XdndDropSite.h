// The X11 side of the drop target: follows the XDND messages that FLTK turns
// into its FL_DND_* events for one window and reports them to the attached
// WindowDropTarget, fetching the dropped data itself so that a file list is
// always read as a URI list.
#pragma once

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "ui/WindowDropTarget.h"

class Fl_Window;

namespace bootlume {

class XdndDropSite {
 public:
  explicit XdndDropSite(Fl_Window& window) : window_(window) {}

  void Attach(WindowDropTarget* target) { target_ = target; }
  bool Attached() const { return target_ != nullptr; }

  // For the window's handle(): FL_DND_ENTER, FL_DND_DRAG, FL_DND_LEAVE and
  // FL_DND_RELEASE; the result is what handle() returns for them.
  int Handle(int event);

 private:
  unsigned AllowedEffects() const;

  Fl_Window& window_;
  WindowDropTarget* target_ = nullptr;
  std::vector<std::string> offeredTypes_;
  Atom requestedAction_ = 0;  // from the last position message
};

// Whether a drop offers one of `types` (X selection target names).
bool OffersAny(const std::vector<std::string>& offered, std::initializer_list<const char*> types);

}  // namespace bootlume
