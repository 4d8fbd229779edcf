#include "ui/fltk/FltkControls.h"

#include <FL/fl_draw.H>

#include "ui/TextLayout.h"
#include "ui/fltk/Fonts.h"

namespace bootlume {

TextLabel::TextLabel(int x, int y, int width, int height, std::string_view text, Fl_Font font, int size)
    : Fl_Widget(x, y, width, height), text_(text), font_(font), size_(size) {
  box(FL_FLAT_BOX);
  color(FL_BACKGROUND_COLOR);
  clear_visible_focus();  // not a tab stop
}

void TextLabel::draw() {
  draw_box();
  fl_font(font_, size_);
  fl_color(FL_BLACK);
  const std::vector<std::string> lines = WrapText(
      text_, w(), [](std::string_view piece) { return fl_width(piece.data(), static_cast<int>(piece.size())); });
  fl_push_clip(x(), y(), w(), h());
  const int lineHeight = fl_height();
  int baseline = y() + lineHeight - fl_descent();
  for (const std::string& line : lines) {
    if (baseline - lineHeight >= y() + h()) break;
    fl_draw(line.c_str(), static_cast<int>(line.size()), x(), baseline);
    baseline += lineHeight;
  }
  fl_pop_clip();
}

CaptionButton::CaptionButton(int x, int y, int width, int height, std::string_view text)
    : Fl_Button(x, y, width, height), text_(text), drawn_(SingleLineCaption(text)) {
  label(drawn_.c_str());
  labelfont(FL_HELVETICA);
  labelsize(kGuiFontSize);
  align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
}

}  // namespace bootlume
