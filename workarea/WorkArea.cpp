#include "workarea/WorkArea.h"

#include <atomic>
#include <optional>
#include <string_view>

#include "platform/SystemServices.h"
#include "workarea/EmbeddedTools.h"

namespace bootlume {
namespace {

// Every running instance holds this file's lock shared for as long as its
// work area is prepared; the last one to leave removes the area.
constexpr const char* kPresenceName = ".bootlume.lock";

Text& Directory() {
  static Text directory;
  return directory;
}

std::optional<FileLock>& Presence() {
  static std::optional<FileLock> presence;
  return presence;
}

std::atomic<bool> operationUnderway{false};

// A temporary file that an interrupted atomic write of one of our files left
// behind: "." + our name + "." + six characters.
bool IsOurTemporary(std::string_view name) {
  for (std::string_view ours : kWorkFileNames) {
    if (name.size() == ours.size() + 8 && name.front() == '.' && name.substr(1, ours.size()) == ours &&
        name[ours.size() + 1] == '.') {
      return true;
    }
  }
  return false;
}

Text FolderPath(const Text& directory) { return Text(directory.View().substr(0, directory.View().size() - 1)); }

}  // namespace

const Text& WorkDirectory() { return Directory(); }

Text WorkFile(const char* name) { return ConcatText({Directory(), name}); }

void PrepareWorkArea() {
  const Text directory = HostWorkDirectory();
  Directory() = directory;
  // An instance that is just leaving may remove the folder under us: then
  // make it again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    MakeDirectory(FolderPath(directory));
    if (!WorkAreaIsUsable()) return;
    Presence().emplace(WorkFile(kPresenceName), FileLock::Kind::kShared);
    if (Presence()->IsHeld() && Presence()->StillLinked()) break;
    Presence().reset();
  }
  const WorkAreaOperation operation;
  WriteExecutableFile(WorkFile(kDecoderToolName), DecoderToolImage());
  WriteExecutableFile(WorkFile(kEncoderToolName), EncoderToolImage());
}

bool WorkAreaIsUsable() { return !Directory().empty() && IsPrivateDirectory(Directory()); }

void RemoveWorkArea() {
  if (!WorkAreaIsUsable()) return;
  // An interrupted operation of this process holds the folder already.
  std::optional<WorkAreaOperation> operation;
  if (!operationUnderway) operation.emplace();
  if (!Presence()) Presence().emplace(WorkFile(kPresenceName), FileLock::Kind::kShared);
  const bool last = Presence()->TryExclusive();
  if (last) {
    for (const char* name : kWorkFileNames) RemoveFile(WorkFile(name));
    for (const Text& name : ListDirectory(Directory())) {
      if (IsOurTemporary(name.View())) RemoveFile(ConcatText({Directory(), name}));
    }
    RemoveFile(WorkFile(kPresenceName));
    RemoveEmptyDirectory(Directory());  // fails, and keeps the folder, while anything else is in it
  }
  Presence().reset();
}

void ReleaseWorkDirectory() {
  Presence().reset();
  Directory() = Text();
}

WorkAreaOperation::WorkAreaOperation() : lock_(Directory(), FileLock::Kind::kExclusive) { operationUnderway = true; }

WorkAreaOperation::~WorkAreaOperation() { operationUnderway = false; }

}  // namespace bootlume
