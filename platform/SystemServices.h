// The file, directory, process and message-box services of the host. Each is
// a thin synchronous call that reports failure only through its result; none
// shows a message of its own. The POSIX backend lives in platform/posix/.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/ByteBuffer.h"
#include "platform/Text.h"

namespace bootlume {

// How a started program's console is shown. Values outside 1..6 are clamped.
enum ShowMode : std::int32_t {
  kShowHidden = 1,
  kShowNormal = 2,
  kShowMinimized = 3,
  kShowMaximized = 4,
  kShowNoActivate = 5,
  kShowMinimizeNext = 6,
};

// Starts the command line (program and arguments split at blanks, double
// quotes grouping; never through a shell). Hidden mode gives the program
// /dev/null for its standard streams, every other mode the parent's terminal.
// With `wait` it returns after the program ended, without a time limit.
// True once the program was started, whatever its exit status; false when it
// could not be started, without waiting.
bool RunCommandLine(const Text& commandLine, bool wait, std::int32_t showMode = kShowNormal);

// Creates the last component of `path`; true only when this call created it.
bool MakeDirectory(const Text& path);

// Removes the directory and everything in it, depth-first, except names that
// begin with "."; symbolic links are removed as links, never followed. An
// empty or blank path and the file-system root are refused. True when the
// directory itself is gone.
bool RemoveDirectoryTree(const Text& path);

// Deletes a file (or link), never a directory; true when this call removed it.
bool RemoveFile(const Text& path);

// Removes a directory that is empty; true when this call removed it.
bool RemoveEmptyDirectory(const Text& path);

// The names in a directory, without "." and ".."; empty when it cannot be read.
std::vector<Text> ListDirectory(const Text& path);

// Whether `path` is a directory (not a link to one) that belongs to this user
// and that nobody else may write to.
bool IsPrivateDirectory(const Text& path);

// The host's folder for the work directory, with its trailing separator:
// $XDG_RUNTIME_DIR/bootlume/ when that is set, otherwise /tmp/bootlume-<uid>/.
Text HostWorkDirectory();

// Copies a file over `target`, replacing it atomically. True on success.
bool CopyFileTo(const Text& source, const Text& target);

// The whole content of a regular file; empty for a missing, empty,
// unreadable or 2 GiB and larger file.
ByteBuffer ReadWholeFile(const Text& path);

// Writes the concatenation of `parts` to `path` atomically: a temporary file
// beside it is written, flushed and renamed over the target. On failure the
// target keeps its earlier content and no temporary file is left.
bool WriteWholeFile(const Text& path, std::initializer_list<ByteView> parts);
inline bool WriteWholeFile(const Text& path, ByteView data) { return WriteWholeFile(path, {data}); }

// WriteWholeFile for a program file: the result is executable by its owner.
bool WriteExecutableFile(const Text& path, ByteView data);

// Makes a write beyond the file-size limit (ulimit -f) fail like a full disk,
// so that the writes above report it and remove their temporary file, rather
// than the process being ended by SIGXFSZ half-way. Each program calls it
// first thing.
void IgnoreFileSizeLimitSignal();

// Message box styles and buttons, with the Windows values.
inline constexpr std::int32_t kMessageIconExclamation = 0x30;
inline constexpr std::int32_t kMessageSystemModal = 0x1000;
inline constexpr std::int32_t kMessageTaskModal = 0x2000;
enum MessageButton : std::int32_t {
  kButtonOk = 1,
  kButtonCancel,
  kButtonAbort,
  kButtonRetry,
  kButtonIgnore,
  kButtonYes,
  kButtonNo
};

// Shows a message and returns the button pressed minus one (OK 0 .. No 6).
// Styles get task-modal unless they ask for system-modal. Without an
// installed presenter, title and message go to stderr and the result is 0.
std::int32_t ShowMessageBox(const Text& message, std::int32_t style, const Text& title = "信息：");

// Draws a message box; returns the MessageButton pressed (anything else
// counts as OK). The window installs one; an empty function removes it.
using MessageBoxPresenter = std::function<std::int32_t(const Text& message, std::int32_t style, const Text& title)>;
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

// Shows a fatal error through the installed presenter, if any; stderr has
// already been told. Used just before the process ends.
void NotifyFatalError(const char* message);

}  // namespace bootlume
