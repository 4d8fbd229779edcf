// Fonts for the window's Chinese texts.
#pragma once

#include <FL/Enumerations.H>

namespace bootlume {

// The label's font (a CJK face standing in for "宋体"); valid after SetUpFonts.
inline constexpr Fl_Font kLabelFont = FL_FREE_FONT;
// Default GUI size for buttons and boxes.
inline constexpr int kGuiFontSize = 12;

// Points FLTK's default face and the label font at faces that hold Chinese
// glyphs, found through fontconfig; without such a face the defaults stay.
void SetUpFonts();

}  // namespace bootlume
