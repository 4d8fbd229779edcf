// The main window's form: its texts, the places of its controls in client
// coordinates, and the components that the handlers work with.
#pragma once

#include <string_view>

#include "ui/FileDialog.h"
#include "ui/PictureView.h"
#include "ui/WindowDropTarget.h"

namespace bootlume {

struct ControlPlace {
  int left, top, width, height;
};

inline constexpr std::string_view kWindowTitle = "Bootlume1.0,Mirelo制作";
inline constexpr int kClientWidth = 352;
inline constexpr int kClientHeight = 344;
// The frame's size on the system the form was drawn for; the start position
// is computed from it.
inline constexpr int kOuterWidth = 359;
inline constexpr int kOuterHeight = 375;

inline constexpr ControlPlace kPictureBoxPlace{0, 0, 352, 264};            // 图片框1
inline constexpr ControlPlace kLabelPlace{0, 264, 352, 56};                // 标签1
inline constexpr ControlPlace kOpenButtonPlace{0, 320, 104, 24};           // _打开图片
inline constexpr ControlPlace kSaveImageButtonPlace{104, 320, 112, 24};    // 按钮2
inline constexpr ControlPlace kSavePictureButtonPlace{224, 320, 128, 24};  // 按钮3

// The texts as stored, line breaks included.
inline constexpr std::string_view kLabelText = "拖入中六海尔,中九华亚,澜起,dvd,所有没有压缩的数据---Mirelo\r\n";
inline constexpr std::string_view kOpenButtonText = "打开jpg图片\r\n";
inline constexpr std::string_view kSaveImageButtonText = "保存文件";
inline constexpr std::string_view kSavePictureButtonText = "保存图片";
inline constexpr int kLabelFontHeight = 16;

// Shows that the program is busy (a wait cursor) while a conversion tool runs.
class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  virtual void Begin() = 0;
  virtual void End() = 0;
};

// The components of the window that the handlers use.
struct MainForm {
  WindowHandle window = nullptr;
  PictureView& pictureBox;        // 图片框1
  FileDialog& fileDialog;         // 通用对话框1
  WindowDropTarget& dropTarget;   // 拖放对象1
  BusyIndicator* busy = nullptr;  // optional
};

}  // namespace bootlume
