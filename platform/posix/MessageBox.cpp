#include <cstdio>
#include <utility>

#include "platform/SystemServices.h"

namespace bootlume {
namespace {

MessageBoxPresenter& InstalledPresenter() {
  static MessageBoxPresenter presenter;
  return presenter;
}

}  // namespace

void SetMessageBoxPresenter(MessageBoxPresenter presenter) { InstalledPresenter() = std::move(presenter); }

std::int32_t ShowMessageBox(const Text& message, std::int32_t style, const Text& title) {
  if ((style & kMessageSystemModal) == 0) style |= kMessageTaskModal;
  const MessageBoxPresenter& presenter = InstalledPresenter();
  if (!presenter) {
    std::fprintf(stderr, "%s %s\n", title.CStr(), message.CStr());
    return 0;
  }
  const std::int32_t button = presenter(message, style, title);
  return button >= kButtonOk && button <= kButtonNo ? button - 1 : 0;
}

void NotifyFatalError(const char* message) {
  const MessageBoxPresenter& presenter = InstalledPresenter();
  if (presenter) presenter(message, 0x10 | kMessageTaskModal, "Bootlume");
}

}  // namespace bootlume
