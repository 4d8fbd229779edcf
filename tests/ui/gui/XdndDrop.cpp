// A drag source for tests: drags data over an X window with the XDND
// protocol, as a file manager does, and drops it there.
//   xdnd-drop WINDOW X Y TYPE DATA
// TYPE is the one offered data type ("text/uri-list", "text/plain", ...),
// DATA its content. Prints "accepted 0|1" from the target's status answer and
// "finished" once the target has finished with the drop.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

Display* display;
Window source;

Atom Intern(const char* name) { return XInternAtom(display, name, False); }

void Send(Window target, const char* type, long l1, long l2, long l3, long l4) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = Intern(type);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(source);
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

// Next event within the time left; false on time-out.
bool NextEvent(XEvent& event, std::chrono::steady_clock::time_point deadline) {
  while (!XPending(display)) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    poll(&connection, 1, static_cast<int>(left.count()));
  }
  XNextEvent(display, &event);
  return true;
}

// A server time stamp, from a property change on our own window.
Time ServerTime() {
  XSelectInput(display, source, PropertyChangeMask);
  const Atom stamp = Intern("XDND_DROP_STAMP");
  XChangeProperty(display, source, stamp, XA_STRING, 8, PropModeReplace, nullptr, 0);
  XEvent event;
  do XWindowEvent(display, source, PropertyChangeMask, &event);
  while (event.type != PropertyNotify);
  return event.xproperty.time;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: xdnd-drop WINDOW X Y TYPE DATA\n");
    return 2;
  }
  display = XOpenDisplay(nullptr);
  if (display == nullptr) return 2;
  const Window target = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
  const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
  const Atom type = Intern(argv[4]);
  const std::string data = argv[5];

  source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  const Time time = ServerTime();
  XSetSelectionOwner(display, Intern("XdndSelection"), source, time);

  // Target-relative position to root coordinates.
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(display, target, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);

  Send(target, "XdndEnter", 5L << 24, static_cast<long>(type), None, None);
  Send(target, "XdndPosition", 0, (static_cast<long>(rootX) << 16) | rootY, static_cast<long>(time),
       static_cast<long>(Intern("XdndActionCopy")));

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool dropped = false;
  XEvent event;
  while (NextEvent(event, deadline)) {
    if (event.type == ClientMessage && event.xclient.message_type == Intern("XdndStatus") && !dropped) {
      std::printf("accepted %ld\n", event.xclient.data.l[1] & 1);
      std::fflush(stdout);
      Send(target, "XdndDrop", 0, static_cast<long>(time), 0, 0);
      dropped = true;
    } else if (event.type == ClientMessage && event.xclient.message_type == Intern("XdndFinished")) {
      std::printf("finished\n");
      return 0;
    } else if (event.type == SelectionRequest) {
      const XSelectionRequestEvent& request = event.xselectionrequest;
      XEvent reply{};
      reply.xselection.type = SelectionNotify;
      reply.xselection.requestor = request.requestor;
      reply.xselection.selection = request.selection;
      reply.xselection.target = request.target;
      reply.xselection.time = request.time;
      reply.xselection.property = None;
      if (request.target == type) {
        XChangeProperty(display, request.requestor, request.property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        reply.xselection.property = request.property;
      }
      XSendEvent(display, request.requestor, False, NoEventMask, &reply);
      XFlush(display);
    }
  }
  std::printf("timed out\n");
  return 1;
}
