#include "ui/fltk/FltkPictureView.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace bootlume {
namespace {

Fl_Color ToFlColour(std::uint32_t colour) {
  if (colour == kButtonFaceColour) return FL_BACKGROUND_COLOR;
  return fl_rgb_color(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// The frame of each border style, and how many pixels it takes on each side.
struct Frame {
  Fl_Boxtype box;
  int inset;
};

Frame BorderFrame(int border) {
  switch (border) {
    case 1:
      return {FL_DOWN_FRAME, 2};
    case 2:
      return {FL_UP_FRAME, 2};
    case 3:
      return {FL_THIN_DOWN_FRAME, 1};
    case 4:
      return {FL_DOWN_FRAME, 4};
    case 5:
      return {FL_BORDER_FRAME, 1};
    default:
      return {FL_NO_BOX, 0};
  }
}

}  // namespace

FltkPictureView::FltkPictureView(int x, int y, int width, int height, const PictureContent::Settings& settings)
    : Fl_Widget(x, y, width, height), content_(settings) {
  box(FL_NO_BOX);
  clear_visible_focus();  // not a tab stop
}

void FltkPictureView::SetPicture(ByteView bytes) {
  content_.SetPicture(bytes);
  const auto& decoded = content_.Decoded();
  if (content_.DisplayMode() == 3 && decoded) {
    const int inset = BorderFrame(content_.Border()).inset;
    size(decoded->width + 2 * inset, decoded->height + 2 * inset);
    if (parent() != nullptr) parent()->redraw();
  }
  redraw();  // painted when the event loop next draws
}

void FltkPictureView::draw() {
  const Frame frame = BorderFrame(content_.Border());
  const int left = x() + frame.inset, top = y() + frame.inset;
  const int width = w() - 2 * frame.inset, height = h() - 2 * frame.inset;
  fl_rectf(left, top, width, height, ToFlColour(content_.BackColour()));
  if (content_.Border() == 4) {
    draw_box(FL_UP_FRAME, x(), y(), w(), h(), FL_BACKGROUND_COLOR);
    draw_box(FL_DOWN_FRAME, x() + 2, y() + 2, w() - 4, h() - 4, FL_BACKGROUND_COLOR);
  } else if (frame.box != FL_NO_BOX) {
    draw_box(frame.box, x(), y(), w(), h(), FL_BACKGROUND_COLOR);
  }
  if (width <= 0 || height <= 0) return;
  const RgbPicture* picture = content_.ScaledFor(width, height);
  if (picture == nullptr) return;
  const PictureRect place = content_.Placement(width, height);
  fl_push_clip(left, top, width, height);
  fl_draw_image(picture->pixels.data(), left + place.x, top + place.y, picture->width, picture->height, 3);
  fl_pop_clip();
}

}  // namespace bootlume
