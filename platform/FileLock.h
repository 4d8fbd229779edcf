// An advisory lock on a file or directory, held for the lifetime of the
// object and shared by every process that locks the same path. Running
// instances of the program use it to share their work directory.
#pragma once

#include "platform/Text.h"

namespace bootlume {

class FileLock {
 public:
  enum class Kind { kShared, kExclusive };

  // Opens `path` (a directory, or a file that is created when missing) and
  // waits for the lock. IsHeld() is false when the path cannot be opened.
  FileLock(const Text& path, Kind kind);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool IsHeld() const { return held_; }

  // Turns the lock exclusive without waiting; false (and no lock held any
  // more) while another process holds it too.
  bool TryExclusive();

  // Whether the locked file still has a name (was not removed meanwhile).
  bool StillLinked() const;

 private:
  int descriptor_ = -1;
  bool held_ = false;
};

}  // namespace bootlume
