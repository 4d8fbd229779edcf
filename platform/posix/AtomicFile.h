// A file written under a temporary name beside its target and renamed over
// it only when complete, so the target is never seen half-written.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/ByteBuffer.h"
#include "platform/posix/Descriptor.h"

namespace bootlume {

class AtomicFile {
 public:
  // Creates the temporary file; IsOpen() tells whether that worked. The
  // result gets `mode`; without one it keeps the mode of an existing target,
  // and a new file gets what the umask leaves of 0666.
  AtomicFile(const std::string& target, std::optional<mode_t> mode);
  // Removes the temporary file unless Commit() succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool IsOpen() const { return file_.IsOpen(); }
  // Appends bytes; false once any write has failed (a full disk, a size limit).
  bool Write(ByteView bytes);
  // Flushes to disk and renames over the target. False on any failure, and
  // then the target is as it was.
  bool Commit();

  // Permission bits for a new file: what the umask leaves of `requested`.
  static mode_t NewFileMode(mode_t requested);

 private:
  std::string target_;
  std::string temporary_;
  Descriptor file_;
  bool failed_ = false;
  bool committed_ = false;
};

}  // namespace bootlume
