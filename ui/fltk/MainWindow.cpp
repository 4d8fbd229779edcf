#include "ui/fltk/MainWindow.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <string>

#include "ui/Handlers.h"
#include "ui/WindowIcon.h"
#include "ui/fltk/Fonts.h"

namespace bootlume {
namespace {

const std::string& TitleText() {
  static const std::string title(kWindowTitle);
  return title;
}

// A drop of known files, as the command line hands them over.
class FileListData : public DragData {
 public:
  explicit FileListData(const std::vector<Text>& paths) : paths_(paths) {}
  bool Offers(DropFormat format) const override { return format == DropFormat::kFiles; }
  std::optional<Text> FetchText(DropFormat) override { return std::nullopt; }
  std::optional<std::vector<Text>> FetchFiles() override { return paths_; }

 private:
  std::vector<Text> paths_;
};

}  // namespace

MainWindow::MainWindow()
    : Fl_Double_Window(kClientWidth, kClientHeight, TitleText().c_str()),
      iconPixels_(WindowIconPixels()),
      icon_(std::make_unique<Fl_RGB_Image>(iconPixels_.data(), kWindowIconSize, kWindowIconSize, 4)),
      fileDialog_(chooser_),
      dropSite_(*this),
      dropTarget_(
          [this](WindowHandle window, WindowDropTarget& target) {
            if (window != static_cast<WindowHandle>(this) || dropSite_.Attached()) return false;
            dropSite_.Attach(&target);
            return true;
          },
          [this](WindowHandle) { dropSite_.Attach(nullptr); }),
      pictureBox_(new FltkPictureView(kPictureBoxPlace.left, kPictureBoxPlace.top, kPictureBoxPlace.width,
                                      kPictureBoxPlace.height, PictureContent::Settings{0, 0x000000, 1, true})),
      label_(new TextLabel(kLabelPlace.left, kLabelPlace.top, kLabelPlace.width, kLabelPlace.height, kLabelText,
                           kLabelFont, kLabelFontHeight)),
      openButton_(new CaptionButton(kOpenButtonPlace.left, kOpenButtonPlace.top, kOpenButtonPlace.width,
                                    kOpenButtonPlace.height, kOpenButtonText)),
      saveImageButton_(new CaptionButton(kSaveImageButtonPlace.left, kSaveImageButtonPlace.top,
                                         kSaveImageButtonPlace.width, kSaveImageButtonPlace.height,
                                         kSaveImageButtonText)),
      savePictureButton_(new CaptionButton(kSavePictureButtonPlace.left, kSavePictureButtonPlace.top,
                                           kSavePictureButtonPlace.width, kSavePictureButtonPlace.height,
                                           kSavePictureButtonText)),
      form_{static_cast<WindowHandle>(this), *pictureBox_, fileDialog_, dropTarget_, this} {
  end();
  color(FL_BACKGROUND_COLOR);
  size_range(kClientWidth, kClientHeight, kClientWidth, kClientHeight);  // fixed size
  xclass("Bootlume");
  icon(icon_.get());
  callback([](Fl_Widget* window, void*) { static_cast<MainWindow*>(window)->Close(); });
  openButton_->callback([](Fl_Widget*, void* self) { OnOpenPictureClicked(static_cast<MainWindow*>(self)->form_); },
                        this);
  saveImageButton_->callback([](Fl_Widget*, void* self) { OnSaveImageClicked(static_cast<MainWindow*>(self)->form_); },
                             this);
  savePictureButton_->callback(
      [](Fl_Widget*, void* self) { OnSavePictureClicked(static_cast<MainWindow*>(self)->form_); }, this);
  dropTarget_.gotFile = [this](const Text& path) { OnGotFile(form_, path); };
}

MainWindow::~MainWindow() { dropTarget_.Revoke(); }

void MainWindow::ShowCentred() {
  // Centred on the primary screen's full area, not its work area.
  int screenX = 0, screenY = 0, screenW = 0, screenH = 0;
  Fl::screen_xywh(screenX, screenY, screenW, screenH, 0);
  position(screenX + (screenW - kClientWidth) / 2, screenY + (screenH - kClientHeight) / 2);
  show();
  ApplyFrameHints();
}

void MainWindow::ApplyFrameHints() {
  // Motif hints: move and close only, border, title and window menu; window
  // managers that honour them show no minimise or maximise button.
  struct {
    unsigned long flags, functions, decorations;
    long inputMode;
    unsigned long status;
  } hints = {1 | 2, 4 | 32, 2 | 8 | 16, 0, 0};
  const Atom motif = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(fl_display, fl_xid(this), motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&hints),
                  5);
  XFlush(fl_display);
}

void MainWindow::DropFiles(const std::vector<Text>& paths) {
  FileListData data(paths);
  dropTarget_.Drop(data, kDropCopy, DropKeys{});
}

int MainWindow::handle(int event) {
  switch (event) {
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_LEAVE:
    case FL_DND_RELEASE:
      return dropSite_.Handle(event);
    default:
      return Fl_Double_Window::handle(event);
  }
}

void MainWindow::Begin() {
  cursor(FL_CURSOR_WAIT);
  Fl::flush();
}

void MainWindow::End() {
  cursor(FL_CURSOR_DEFAULT);
  Fl::flush();
}

void MainWindow::Close() {
  OnWindowDestroying(form_);
  dropTarget_.Revoke();  // while the window still exists
  hide();
}

}  // namespace bootlume
