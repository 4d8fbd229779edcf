#include <gtest/gtest.h>

#include "platform/SystemServices.h"

namespace bootlume {
namespace {

struct Shown {
  Text message, title;
  std::int32_t style = 0;
};

// Installs a presenter that records what it shows and presses `button`.
class PresenterScope {
 public:
  PresenterScope(Shown& shown, std::int32_t button) {
    SetMessageBoxPresenter([&shown, button](const Text& message, std::int32_t style, const Text& title) {
      shown = {message, title, style};
      return button;
    });
  }
  ~PresenterScope() { SetMessageBoxPresenter({}); }
};

TEST(ShowMessageBox, MakesBoxesTaskModalAndMapsTheButtons) {
  const struct {
    std::int32_t style, button, expectedStyle, expectedResult;
  } cases[] = {
      {48, kButtonOk, 0x2030, 0},
      {48 | kMessageSystemModal, kButtonOk, 0x1030, 0},
      {4, kButtonNo, 0x2004, 6},
      {4, kButtonYes, 0x2004, 5},
      {1, kButtonCancel, 0x2001, 1},
      {0, 0, 0x2000, 0},
      {0, 99, 0x2000, 0},
  };
  for (const auto& c : cases) {
    Shown shown;
    PresenterScope scope(shown, c.button);
    EXPECT_EQ(ShowMessageBox("修改开机画面失败，请重试！", c.style, "提示"), c.expectedResult);
    EXPECT_EQ(shown.style, c.expectedStyle);
    EXPECT_EQ(shown.message, Text("修改开机画面失败，请重试！"));
    EXPECT_EQ(shown.title, Text("提示"));
  }
  Shown shown;
  PresenterScope scope(shown, kButtonOk);
  ShowMessageBox("x", 0);
  EXPECT_EQ(shown.title, Text("信息："));
}

TEST(ShowMessageBox, WithoutAPresenterWritesToStderrAndAnswersOk) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox("修改开机画面失败，请重试！", 48, "提示"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "提示 修改开机画面失败，请重试！\n");
}

}  // namespace
}  // namespace bootlume
