// Bootlume: shows and replaces the boot picture of a receiver's firmware.
//   bootlume [FIRMWARE]   FIRMWARE is loaded as if dropped on the window.
#include <FL/Fl.H>
#include <FL/x.H>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/SystemServices.h"
#include "ui/Handlers.h"
#include "ui/fltk/FltkMessageBox.h"
#include "ui/fltk/Fonts.h"
#include "ui/fltk/MainWindow.h"

namespace {

using bootlume::Text;

// FLTK's fatal errors (no display, for one) end the program like a window
// that cannot be created: a message and exit code -1, no end handler.
[[noreturn]] void FatalError(const char* format, ...) {
  char message[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  std::fprintf(stderr, "bootlume: the main window cannot be created: %s\n", message);
  std::_Exit(-1);
}

// Relative file names of the program resolve in its own folder.
void MoveToProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) std::filesystem::current_path(program.parent_path(), error);
}

struct LoadRequest {
  bootlume::MainWindow* window;
  Text path;
};

void LoadFromCommandLine(void* data) {
  const LoadRequest* request = static_cast<const LoadRequest*>(data);
  request->window->DropFiles({request->path});
}

}  // namespace

int main(int argc, char** argv) {
  bootlume::IgnoreFileSizeLimitSignal();
  // A firmware named on the command line is taken from the folder the
  // program was started in.
  std::optional<LoadRequest> load;
  if (argc > 1) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(argv[1], error);
    load = LoadRequest{nullptr, Text((error ? std::filesystem::path(argv[1]) : path).string())};
  }

  // 1. Platform set-up.
  MoveToProgramFolder();
  Fl::fatal = FatalError;
  // 2. The end handler: ReleaseGlobals, run once after the event loop.
  void (*const endHandler)() = bootlume::ReleaseGlobals;
  {
    bootlume::SetUpFonts();
    bootlume::InstallMessageBoxPresenter();
    // 3. The window, hidden with its controls; then the created event; then shown.
    bootlume::MainWindow window;
    bootlume::OnWindowCreated(window.Form());
    window.ShowCentred();
    if (load) {
      load->window = &window;
      Fl::add_timeout(0.0, LoadFromCommandLine, &*load);
    }
    // 4. The event loop ends when the window has gone.
    Fl::run();
  }
  // 5. End.
  endHandler();
  bootlume::SetMessageBoxPresenter({});
  return 0;
}
