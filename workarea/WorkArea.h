// The work directory: where the conversion tools are written and where they
// exchange files with the pipelines. Fixed for the whole run of the program.
#pragma once

#include <array>

#include "platform/FileLock.h"
#include "platform/Text.h"

namespace bootlume {

// File names in the work directory.
inline constexpr const char* kDecoderToolName = "ffmpge.exe";
inline constexpr const char* kEncoderToolName = "eempge.exe";
inline constexpr const char* kPreviewStreamName = "1.mpg";
inline constexpr const char* kPreviewPictureName = "1.jpg";
inline constexpr const char* kReplacementPictureName = "2.JPG";
inline constexpr const char* kReplacementStreamName = "2.mpg";
inline constexpr std::array<const char*, 6> kWorkFileNames{kDecoderToolName,        kEncoderToolName,
                                                           kPreviewStreamName,      kPreviewPictureName,
                                                           kReplacementPictureName, kReplacementStreamName};

// The work directory with its trailing separator; empty until
// PrepareWorkArea has run.
const Text& WorkDirectory();

// WorkDirectory() + name.
Text WorkFile(const char* name);

// Creates the host's work directory when it is missing, sets WorkDirectory
// and writes both tools into it. Nothing is reported: an unusable directory
// shows later as empty previews and failed replacements.
void PrepareWorkArea();

// Whether the work directory can be used now: prepared, and a real
// directory of this user's that nobody else may write to. Anything else is
// treated like a missing drive and left alone.
bool WorkAreaIsUsable();

// Removes the system's own files from the work directory, and the directory
// when nothing else is left in it; but leaves them to another running
// instance that shares the folder. Waits for another instance's operation to
// end; one of this process's own (an interrupted one) does not stop it.
void RemoveWorkArea();

// Held by a pipeline while it uses the work directory: running instances
// share the folder and must not interleave their files.
class WorkAreaOperation {
 public:
  WorkAreaOperation();
  ~WorkAreaOperation();
  WorkAreaOperation(const WorkAreaOperation&) = delete;
  WorkAreaOperation& operator=(const WorkAreaOperation&) = delete;

 private:
  FileLock lock_;
};

// Forgets the work directory (at program end).
void ReleaseWorkDirectory();

}  // namespace bootlume
