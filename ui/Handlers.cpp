#include "ui/Handlers.h"

#include "engine/PreviewPipeline.h"
#include "engine/ReplacementPipeline.h"
#include "platform/SystemServices.h"
#include "workarea/WorkArea.h"

namespace bootlume {

ByteBuffer LoadedImage;

namespace {

constexpr std::string_view kSavedPictureName = "图片.jpg";
constexpr std::string_view kFailureMessage = "修改开机画面失败，请重试！";
constexpr std::string_view kFailureTitle = "提示";
constexpr std::int32_t kFailureStyle = 48;  // exclamation icon, OK button

// Shows the busy indicator while a conversion tool runs.
class BusyScope {
 public:
  explicit BusyScope(MainForm& form) : busy_(form.busy) {
    if (busy_ != nullptr) busy_->Begin();
  }
  ~BusyScope() {
    if (busy_ != nullptr) busy_->End();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  BusyIndicator* busy_;
};

}  // namespace

void OnWindowCreated(MainForm& form) {
  form.dropTarget.Register(form.window);
  form.dropTarget.acceptFiles = true;
  PrepareWorkArea();
}

void OnWindowDestroying(MainForm&) { RemoveWorkArea(); }

void OnGotFile(MainForm& form, const Text& path) {
  // The old image goes even when the new one cannot be read.
  LoadedImage = ReadWholeFile(path);
  ByteBuffer picture;
  {
    BusyScope busy(form);
    picture = PreviewBootPicture(LoadedImage);
  }
  form.pictureBox.SetPicture(picture);
}

void OnOpenPictureClicked(MainForm& form) {
  form.fileDialog.SetKind(kOpenDialog);
  form.fileDialog.SetFilter("jpg| *.jpg");
  if (!form.fileDialog.Open()) return;
  const Text path = form.fileDialog.FileName();
  bool replaced = false;
  ByteBuffer picture;
  {
    BusyScope busy(form);
    replaced = ReplaceBootPicture(LoadedImage, path);
    // The picture shown comes from the file as written and read back.
    if (replaced) picture = PreviewBootPicture(ReadWholeFile(kModifiedImageName));
  }
  if (replaced) {
    form.pictureBox.SetPicture(picture);
  } else {
    ShowMessageBox(kFailureMessage, kFailureStyle, kFailureTitle);
  }
}

void OnSavePictureClicked(MainForm& form) {
  form.fileDialog.SetKind(kSaveDialog);
  form.fileDialog.SetFilter("图片|.*jpg");
  if (!form.fileDialog.Open()) return;
  // The chosen name is not used: the dialog has moved the current directory
  // to the chosen folder, and the picture goes there under its fixed name.
  WriteWholeFile(kSavedPictureName, form.pictureBox.Picture());
}

void OnSaveImageClicked(MainForm& form) {
  form.fileDialog.SetKind(kSaveDialog);
  form.fileDialog.SetFilter("数据|*.bin");
  if (!form.fileDialog.Open()) return;
  WriteWholeFile(kModifiedImageName, LoadedImage);
}

void ReleaseGlobals() {
  LoadedImage = ByteBuffer();
  ReleaseWorkDirectory();
}

}  // namespace bootlume
