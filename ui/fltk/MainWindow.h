// The main window with its controls and components, as FLTK widgets, wired
// to the handlers.
#pragma once

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>

#include <memory>
#include <vector>

#include "ui/FileDialog.h"
#include "ui/MainForm.h"
#include "ui/WindowDropTarget.h"
#include "ui/fltk/FltkControls.h"
#include "ui/fltk/FltkFileChooser.h"
#include "ui/fltk/FltkPictureView.h"
#include "ui/fltk/XdndDropSite.h"

namespace bootlume {

class MainWindow : public Fl_Double_Window, private BusyIndicator {
 public:
  // Creates the window hidden, with all its controls.
  MainWindow();
  ~MainWindow() override;

  MainForm& Form() { return form_; }

  // Shows the window centred on the primary screen and activates it.
  void ShowCentred();

  // Hands paths to the drop target as a drop of those files would.
  void DropFiles(const std::vector<Text>& paths);

  int handle(int event) override;

 private:
  void Begin() override;
  void End() override;
  // A close request (close button, window menu, Alt+F4, Esc): always granted.
  void Close();
  void ApplyFrameHints();

  std::vector<std::uint8_t> iconPixels_;
  std::unique_ptr<Fl_RGB_Image> icon_;
  FltkFileChooser chooser_;
  FileDialog fileDialog_;
  XdndDropSite dropSite_;
  WindowDropTarget dropTarget_;
  FltkPictureView* pictureBox_ = nullptr;  // children are owned by the window
  TextLabel* label_ = nullptr;
  CaptionButton* openButton_ = nullptr;
  CaptionButton* saveImageButton_ = nullptr;
  CaptionButton* savePictureButton_ = nullptr;
  MainForm form_;
};

}  // namespace bootlume
