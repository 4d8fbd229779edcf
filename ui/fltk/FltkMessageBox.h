// The message box, drawn with FLTK: installed as the platform's presenter, so
// that ShowMessageBox opens a modal box over the program's windows.
#pragma once

#include <cstdint>

#include "platform/Text.h"

namespace bootlume {

// Shows a modal box with the style's icon and buttons (Windows message-box
// flags) and returns the MessageButton pressed. Esc picks Cancel where there
// is one, OK in a box that has only OK.
std::int32_t PresentMessageBox(const Text& message, std::int32_t style, const Text& title);

// Makes ShowMessageBox use PresentMessageBox.
void InstallMessageBoxPresenter();

}  // namespace bootlume
