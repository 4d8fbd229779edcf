// The window's label and push buttons: each keeps its text as stored, line
// breaks included, and draws it without showing those as characters.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Widget.H>

#include <string>
#include <string_view>

namespace bootlume {

// A borderless label: black text, left-aligned, word-wrapped from the top.
class TextLabel : public Fl_Widget {
 public:
  TextLabel(int x, int y, int width, int height, std::string_view text, Fl_Font font, int size);
  const std::string& StoredText() const { return text_; }

 protected:
  void draw() override;

 private:
  std::string text_;
  Fl_Font font_;
  int size_;
};

// A standard push button whose caption is centred on one line.
class CaptionButton : public Fl_Button {
 public:
  CaptionButton(int x, int y, int width, int height, std::string_view text);
  const std::string& StoredText() const { return text_; }

 private:
  std::string text_;
  std::string drawn_;
};

}  // namespace bootlume
