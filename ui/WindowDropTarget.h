// The window's file drop target: once registered for a window, it turns each
// drop of files on that window (controls included) into one GotFile event.
// The toolkit's side reports the drag through DragEnter, DragOver, DragLeave
// and Drop; everything that decides lives here.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/Text.h"
#include "ui/DropEffect.h"

namespace bootlume {

// The toolkit's handle of a window (a Window id, an HWND, ...).
using WindowHandle = void*;

enum class DropFormat { kText, kHtml, kUrl, kFiles };

// The data of the drag in progress, as the toolkit offers it.
class DragData {
 public:
  virtual ~DragData() = default;
  virtual bool Offers(DropFormat format) const = 0;
  // Fetches the data of a text-like format; nothing when it cannot be had.
  virtual std::optional<Text> FetchText(DropFormat format) = 0;
  // Fetches the file list as full paths; nothing when it cannot be had.
  virtual std::optional<std::vector<Text>> FetchFiles() = 0;
};

class WindowDropTarget {
 public:
  // Makes the toolkit report drags over the window to this target; false
  // when the window refuses (for instance, it has a target already).
  using Attach = std::function<bool(WindowHandle, WindowDropTarget&)>;
  // Stops that again, while the window still exists.
  using Detach = std::function<void(WindowHandle)>;
  // The got-text, -html, -url and -file events; the text lives until the
  // handler returns.
  using Event = std::function<void(const Text&)>;

  WindowDropTarget(Attach attach, Detach detach);
  ~WindowDropTarget();
  WindowDropTarget(const WindowDropTarget&) = delete;
  WindowDropTarget& operator=(const WindowDropTarget&) = delete;

  // Only the first call acts: it records the window, then attaches. Every
  // later call returns false and changes nothing.
  bool Register(WindowHandle window);
  // Undoes a successful registration; the window must still exist.
  void Revoke();

  bool acceptText = false;
  bool acceptHtml = false;
  bool acceptUrl = false;
  bool acceptFiles = false;
  Event gotText, gotHtml, gotUrl, gotFile;

  // Toolkit notifications; each returns the effect to show the source.
  DropEffect DragEnter(const DragData& data, unsigned allowedEffects, DropKeys keys);
  DropEffect DragOver(unsigned allowedEffects, DropKeys keys);
  void DragLeave();
  // Raises the events for the drop; the caller answers the source after this
  // returns, so the source waits for the handlers.
  DropEffect Drop(DragData& data, unsigned allowedEffects, DropKeys keys);

  bool DragAccepted() const { return dragAccepted_; }

 private:
  bool Wants(const DragData& data) const;

  Attach attach_;
  Detach detach_;
  bool registered_ = false;
  bool attached_ = false;
  WindowHandle window_ = nullptr;
  bool dragAccepted_ = false;
};

}  // namespace bootlume
