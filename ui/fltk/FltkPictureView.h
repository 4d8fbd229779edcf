// The picture view as an FLTK widget.
#pragma once

#include <FL/Fl_Widget.H>

#include "ui/PictureContent.h"
#include "ui/PictureView.h"

namespace bootlume {

class FltkPictureView : public Fl_Widget, public PictureView {
 public:
  FltkPictureView(int x, int y, int width, int height, const PictureContent::Settings& settings);

  void SetPicture(ByteView bytes) override;
  ByteBuffer Picture() const override { return content_.Picture(); }

  PictureContent& Content() { return content_; }

 protected:
  void draw() override;

 private:
  PictureContent content_;
};

}  // namespace bootlume
