#include "ui/fltk/FltkMessageBox.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/SystemServices.h"
#include "ui/TextLayout.h"
#include "ui/fltk/Fonts.h"

namespace bootlume {
namespace {

constexpr std::int32_t kIconMask = 0xF0;
constexpr std::int32_t kIconStop = 0x10;
constexpr std::int32_t kIconQuestion = 0x20;
constexpr std::int32_t kIconExclamation = 0x30;
constexpr std::int32_t kIconInformation = 0x40;

struct ButtonChoice {
  const char* caption;
  std::int32_t id;
};

std::vector<ButtonChoice> ButtonsOf(std::int32_t style) {
  switch (style & 0x0F) {
    case 1:
      return {{"确定", kButtonOk}, {"取消", kButtonCancel}};
    case 2:
      return {{"中止(&A)", kButtonAbort}, {"重试(&R)", kButtonRetry}, {"忽略(&I)", kButtonIgnore}};
    case 3:
      return {{"是(&Y)", kButtonYes}, {"否(&N)", kButtonNo}, {"取消", kButtonCancel}};
    case 4:
      return {{"是(&Y)", kButtonYes}, {"否(&N)", kButtonNo}};
    case 5:
      return {{"重试(&R)", kButtonRetry}, {"取消", kButtonCancel}};
    default:
      return {{"确定", kButtonOk}};
  }
}

// The style's icon, 32 x 32.
class MessageIcon : public Fl_Widget {
 public:
  MessageIcon(int x, int y, std::int32_t kind) : Fl_Widget(x, y, 32, 32), kind_(kind) {}

 protected:
  void draw() override {
    const int cx = x() + 16, cy = y() + 16;
    const char* mark = "!";
    if (kind_ == kIconExclamation) {
      fl_color(fl_rgb_color(250, 200, 30));
      fl_begin_polygon();
      fl_vertex(cx, y() + 1), fl_vertex(x() + 31, y() + 30), fl_vertex(x() + 1, y() + 30);
      fl_end_polygon();
      fl_color(fl_rgb_color(120, 90, 0));
      fl_begin_loop();
      fl_vertex(cx, y() + 1), fl_vertex(x() + 31, y() + 30), fl_vertex(x() + 1, y() + 30);
      fl_end_loop();
      fl_color(FL_BLACK);
      fl_font(FL_HELVETICA_BOLD, 20);
      fl_draw(mark, cx - static_cast<int>(fl_width(mark)) / 2, y() + 28);
      return;
    }
    Fl_Color fill = fl_rgb_color(40, 100, 200);
    if (kind_ == kIconStop) fill = fl_rgb_color(210, 40, 40), mark = "×";
    if (kind_ == kIconQuestion) mark = "?";
    if (kind_ == kIconInformation) mark = "i";
    fl_color(fill);
    fl_pie(x() + 1, y() + 1, 30, 30, 0, 360);
    fl_color(FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, 20);
    fl_draw(mark, cx - static_cast<int>(fl_width(mark)) / 2, cy + 7);
  }

 private:
  std::int32_t kind_;
};

// The message, wrapped like the window's label.
class MessageText : public Fl_Widget {
 public:
  MessageText(int x, int y, int w, int h, std::vector<std::string> lines)
      : Fl_Widget(x, y, w, h), lines_(std::move(lines)) {}

 protected:
  void draw() override {
    fl_font(FL_HELVETICA, kGuiFontSize);
    fl_color(FL_BLACK);
    int baseline = y() + fl_height() - fl_descent();
    for (const std::string& line : lines_) {
      fl_draw(line.c_str(), static_cast<int>(line.size()), x(), baseline);
      baseline += fl_height();
    }
  }

 private:
  std::vector<std::string> lines_;
};

// Enter presses the focused button, as in the system's message boxes.
class BoxWindow : public Fl_Double_Window {
 public:
  using Fl_Double_Window::Fl_Double_Window;
  int handle(int event) override {
    if ((event == FL_KEYBOARD || event == FL_SHORTCUT) &&
        (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      Fl_Widget* focused = Fl::focus();
      if (focused != nullptr && focused->window() == this && dynamic_cast<Fl_Button*>(focused) != nullptr) {
        focused->do_callback();
        return 1;
      }
    }
    return Fl_Double_Window::handle(event);
  }
};

struct Outcome {
  std::int32_t pressed = 0;
  Fl_Window* window = nullptr;
};

// What one button answers.
struct Binding {
  Outcome* outcome;
  std::int32_t id;
};

void ButtonPressed(Fl_Widget*, void* data) {
  const Binding* binding = static_cast<const Binding*>(data);
  binding->outcome->pressed = binding->id;
  binding->outcome->window->hide();
}

}  // namespace

std::int32_t PresentMessageBox(const Text& message, std::int32_t style, const Text& title) {
  const std::vector<ButtonChoice> buttons = ButtonsOf(style);
  const std::int32_t icon = style & kIconMask;
  const bool hasIcon =
      icon == kIconStop || icon == kIconQuestion || icon == kIconExclamation || icon == kIconInformation;

  fl_font(FL_HELVETICA, kGuiFontSize);
  const auto measure = [](std::string_view piece) { return fl_width(piece.data(), static_cast<int>(piece.size())); };
  std::vector<std::string> lines = WrapText(message.View(), 400, measure);
  while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  double textWidth = 0;
  for (const std::string& line : lines) textWidth = std::max(textWidth, measure(line));
  const int textHeight = static_cast<int>(lines.size()) * fl_height();

  constexpr int kMargin = 16, kButtonWidth = 80, kButtonHeight = 26, kGap = 8;
  const int textLeft = kMargin + (hasIcon ? 32 + kMargin : 0);
  const int buttonsWidth = static_cast<int>(buttons.size()) * (kButtonWidth + kGap) - kGap;
  const int width = std::max(textLeft + static_cast<int>(textWidth) + kMargin, buttonsWidth + 2 * kMargin);
  const int bodyHeight = std::max(hasIcon ? 32 : 0, textHeight);
  const int height = kMargin + bodyHeight + kMargin + kButtonHeight + kMargin;

  Outcome outcome;
  const std::string titleText = title.String();
  BoxWindow window(width, height, titleText.c_str());
  outcome.window = &window;
  if (hasIcon) new MessageIcon(kMargin, kMargin, icon);
  new MessageText(textLeft, kMargin + std::max(0, (bodyHeight - textHeight) / 2), width - textLeft - kMargin,
                  textHeight, lines);
  std::int32_t escapeAnswer = kButtonOk;
  int left = (width - buttonsWidth) / 2;
  Fl_Button* first = nullptr;
  std::vector<Binding> bindings;
  bindings.reserve(buttons.size());
  for (const ButtonChoice& choice : buttons) {
    Fl_Button* button =
        new Fl_Button(left, height - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, choice.caption);
    button->labelsize(kGuiFontSize);
    bindings.push_back({&outcome, choice.id});
    button->callback(ButtonPressed, &bindings.back());
    if (first == nullptr) first = button;
    if (choice.id == kButtonCancel) escapeAnswer = kButtonCancel;
    left += kButtonWidth + kGap;
  }
  window.end();
  window.set_modal();
  // Esc and the close button answer as Windows does: Cancel, or OK alone.
  outcome.pressed = (buttons.size() == 1 || escapeAnswer == kButtonCancel) ? escapeAnswer : 0;
  const std::int32_t closeAnswer = outcome.pressed;
  window.callback([](Fl_Widget* w, void*) { w->hide(); });
  if (hasIcon && icon == kIconExclamation) fl_beep(FL_BEEP_MESSAGE);
  int sx, sy, sw, sh;
  Fl::screen_xywh(sx, sy, sw, sh, 0);
  window.position(sx + (sw - width) / 2, sy + (sh - height) / 2);
  window.show();
  if (first != nullptr) first->take_focus();
  while (window.shown()) Fl::wait();
  return outcome.pressed != 0 ? outcome.pressed : closeAnswer;
}

void InstallMessageBoxPresenter() { SetMessageBoxPresenter(PresentMessageBox); }

}  // namespace bootlume
