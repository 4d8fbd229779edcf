#include "ui/fltk/XdndDropSite.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <optional>

#include "ui/DropText.h"

// Atoms FLTK interns for its own XDND handling.
extern Atom fl_XdndEnter;
extern Atom fl_XdndPosition;
extern Atom fl_XdndDrop;
extern Atom fl_XdndTypeList;
extern Atom fl_XdndSelection;

namespace bootlume {
namespace {

constexpr std::chrono::seconds kFetchTimeout{5};

const std::initializer_list<const char*> kFileTypes = {"text/uri-list"};
const std::initializer_list<const char*> kTextTypes = {
    "text/plain;charset=utf-8", "text/plain;charset=UTF-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"};
const std::initializer_list<const char*> kHtmlTypes = {"text/html"};
const std::initializer_list<const char*> kUrlTypes = {"_NETSCAPE_URL", "text/x-moz-url"};

Atom Intern(const char* name) { return XInternAtom(fl_display, name, False); }

std::string AtomName(Atom atom) {
  if (atom == None) return {};
  char* name = XGetAtomName(fl_display, atom);
  if (name == nullptr) return {};
  std::string result(name);
  XFree(name);
  return result;
}

// The type names of the drag that an XdndEnter message announces.
std::vector<std::string> EnteredTypes(const XClientMessageEvent& enter) {
  std::vector<std::string> types;
  const Window source = static_cast<Window>(enter.data.l[0]);
  if (enter.data.l[1] & 1) {  // more than three: they are in a property
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(fl_display, source, fl_XdndTypeList, 0, 0x8000, False, XA_ATOM, &actual, &format, &count,
                           &remaining, &data) == Success &&
        actual == XA_ATOM && format == 32 && data != nullptr) {
      const Atom* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) types.push_back(AtomName(atoms[i]));
    }
    if (data != nullptr) XFree(data);
  } else {
    for (int i = 2; i <= 4; ++i) {
      if (enter.data.l[i] != None) types.push_back(AtomName(static_cast<Atom>(enter.data.l[i])));
    }
  }
  return types;
}

DropKeys KeysHeld() {
  Window root, child;
  int rootX, rootY, x, y;
  unsigned int mask = 0;
  XQueryPointer(fl_display, RootWindow(fl_display, fl_screen), &root, &child, &rootX, &rootY, &x, &y, &mask);
  return {(mask & ShiftMask) != 0, (mask & ControlMask) != 0};
}

const XClientMessageEvent* XdndMessage(Atom type) {
  if (fl_xevent == nullptr || fl_xevent->type != ClientMessage) return nullptr;
  if (fl_xevent->xclient.message_type != type) return nullptr;
  return &fl_xevent->xclient;
}

struct SelectionMatch {
  Window requestor;
  Atom target;
};

Bool IsOurSelectionNotify(Display*, XEvent* event, XPointer argument) {
  const SelectionMatch* match = reinterpret_cast<const SelectionMatch*>(argument);
  return event->type == SelectionNotify && event->xselection.requestor == match->requestor &&
         event->xselection.selection == fl_XdndSelection && event->xselection.target == match->target;
}

// The dropped data of the drag in progress, fetched on request.
class XdndDragData : public DragData {
 public:
  XdndDragData(Fl_Window& window, const std::vector<std::string>& offered, Time time)
      : window_(window), offered_(offered), time_(time) {}

  bool Offers(DropFormat format) const override { return OffersAny(offered_, TypesOf(format)); }

  std::optional<Text> FetchText(DropFormat format) override {
    for (const char* type : TypesOf(format)) {
      if (OffersAny(offered_, {type})) {
        if (std::optional<std::string> data = Fetch(type)) return Text(*data);
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<std::vector<Text>> FetchFiles() override {
    const std::optional<std::string> list = Fetch("text/uri-list");
    if (!list) return std::nullopt;
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    return LocalPathsFromUriList(*list, host);
  }

 private:
  static std::initializer_list<const char*> TypesOf(DropFormat format) {
    switch (format) {
      case DropFormat::kFiles:
        return kFileTypes;
      case DropFormat::kHtml:
        return kHtmlTypes;
      case DropFormat::kUrl:
        return kUrlTypes;
      default:
        return kTextTypes;
    }
  }

  // Asks the drag source for the data in `type` and waits a bounded time.
  std::optional<std::string> Fetch(const char* type) {
    const Window requestor = fl_xid(&window_);
    const Atom property = Intern("BOOTLUME_DROP");
    SelectionMatch match{requestor, Intern(type)};
    XConvertSelection(fl_display, fl_XdndSelection, match.target, property, requestor, time_);
    XFlush(fl_display);
    const auto deadline = std::chrono::steady_clock::now() + kFetchTimeout;
    XEvent event;
    while (!XCheckIfEvent(fl_display, &event, IsOurSelectionNotify, reinterpret_cast<XPointer>(&match))) {
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      pollfd connection{ConnectionNumber(fl_display), POLLIN, 0};
      poll(&connection, 1, 50);
    }
    if (event.xselection.property == None) return std::nullopt;
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::optional<std::string> result;
    if (XGetWindowProperty(fl_display, requestor, property, 0, LONG_MAX / 4, True, AnyPropertyType, &actual, &format,
                           &count, &remaining, &data) == Success &&
        actual != Intern("INCR") && format == 8 && data != nullptr) {
      result = std::string(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) XFree(data);
    return result;
  }

  Fl_Window& window_;
  const std::vector<std::string>& offered_;
  Time time_;
};

}  // namespace

bool OffersAny(const std::vector<std::string>& offered, std::initializer_list<const char*> types) {
  for (const std::string& name : offered) {
    for (const char* type : types) {
      if (name == type) return true;
    }
  }
  return false;
}

unsigned XdndDropSite::AllowedEffects() const {
  if (requestedAction_ == Intern("XdndActionMove")) return kDropMove;
  if (requestedAction_ == Intern("XdndActionLink")) return kDropLink;
  if (requestedAction_ == Intern("XdndActionAsk")) return kDropCopy | kDropMove | kDropLink;
  return kDropCopy;  // copy, private, or not yet known
}

int XdndDropSite::Handle(int event) {
  if (target_ == nullptr) return 0;
  switch (event) {
    case FL_DND_ENTER: {
      if (const XClientMessageEvent* enter = XdndMessage(fl_XdndEnter)) {
        offeredTypes_ = EnteredTypes(*enter);
        requestedAction_ = None;
        Fl::belowmouse(&window_);  // so that the drop comes to the window
        const XdndDragData data(window_, offeredTypes_, CurrentTime);
        return target_->DragEnter(data, AllowedEffects(), KeysHeld()) != kDropNone;
      }
      return target_->DragOver(AllowedEffects(), KeysHeld()) != kDropNone;
    }
    case FL_DND_DRAG: {
      if (const XClientMessageEvent* position = XdndMessage(fl_XdndPosition)) {
        requestedAction_ = static_cast<Atom>(position->data.l[4]);
      }
      Fl::belowmouse(&window_);
      return target_->DragOver(AllowedEffects(), KeysHeld()) != kDropNone;
    }
    case FL_DND_LEAVE:
      target_->DragLeave();
      return 1;
    case FL_DND_RELEASE: {
      const XClientMessageEvent* drop = XdndMessage(fl_XdndDrop);
      const Time time = drop != nullptr ? static_cast<Time>(drop->data.l[2]) : CurrentTime;
      XdndDragData data(window_, offeredTypes_, time);
      target_->Drop(data, AllowedEffects(), KeysHeld());
      // Refusing here makes FLTK answer the source with "finished, not
      // accepted" now that the handlers have run.
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace bootlume
