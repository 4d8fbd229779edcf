#include "ui/WindowDropTarget.h"

#include <utility>

#include "ui/DropText.h"

namespace bootlume {

WindowDropTarget::WindowDropTarget(Attach attach, Detach detach)
    : attach_(std::move(attach)), detach_(std::move(detach)) {}

WindowDropTarget::~WindowDropTarget() { Revoke(); }

bool WindowDropTarget::Register(WindowHandle window) {
  if (registered_) return false;
  registered_ = true;
  window_ = window;
  attached_ = attach_ && attach_(window, *this);
  return attached_;
}

void WindowDropTarget::Revoke() {
  if (!attached_) return;
  attached_ = false;
  if (detach_) detach_(window_);
}

bool WindowDropTarget::Wants(const DragData& data) const {
  return (acceptText && data.Offers(DropFormat::kText)) || (acceptFiles && data.Offers(DropFormat::kFiles)) ||
         (acceptUrl && data.Offers(DropFormat::kUrl)) || (acceptHtml && data.Offers(DropFormat::kHtml));
}

DropEffect WindowDropTarget::DragEnter(const DragData& data, unsigned allowedEffects, DropKeys keys) {
  dragAccepted_ = Wants(data);
  return DragOver(allowedEffects, keys);
}

DropEffect WindowDropTarget::DragOver(unsigned allowedEffects, DropKeys keys) {
  return dragAccepted_ ? ChooseDropEffect(allowedEffects, keys) : kDropNone;
}

void WindowDropTarget::DragLeave() { dragAccepted_ = false; }

DropEffect WindowDropTarget::Drop(DragData& data, unsigned allowedEffects, DropKeys keys) {
  // The drop itself decides again, from the keys held now.
  const DropEffect effect = Wants(data) ? ChooseDropEffect(allowedEffects, keys) : kDropNone;
  dragAccepted_ = false;
  if (effect == kDropNone) return effect;
  const auto raise = [&](bool on, DropFormat format, const Event& event) {
    if (!on || !event || !data.Offers(format)) return;
    if (std::optional<Text> text = data.FetchText(format)) event(*text);
  };
  raise(acceptText && !data.Offers(DropFormat::kHtml), DropFormat::kText, gotText);
  raise(acceptHtml, DropFormat::kHtml, gotHtml);
  raise(acceptUrl, DropFormat::kUrl, gotUrl);
  if (acceptFiles && gotFile && data.Offers(DropFormat::kFiles)) {
    if (std::optional<std::vector<Text>> files = data.FetchFiles()) {
      if (std::optional<Text> text = DroppedFilesText(*files)) gotFile(*text);
    }
  }
  return effect;
}

}  // namespace bootlume
