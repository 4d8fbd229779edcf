#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace bootlume {
namespace {

bool Lock(int descriptor, int operation) {
  int result = 0;
  while ((result = ::flock(descriptor, operation)) != 0 && errno == EINTR) {
  }
  return result == 0;
}

}  // namespace

FileLock::FileLock(const Text& path, Kind kind) {
  if (path.empty()) return;
  descriptor_ = ::open(path.CStr(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (descriptor_ < 0 && errno == ENOENT) {
    descriptor_ = ::open(path.CStr(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor_ < 0 && errno == EEXIST) descriptor_ = ::open(path.CStr(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  }
  if (descriptor_ < 0) return;
  held_ = Lock(descriptor_, kind == Kind::kShared ? LOCK_SH : LOCK_EX);
}

FileLock::~FileLock() {
  if (descriptor_ >= 0) ::close(descriptor_);  // closing releases the lock
}

bool FileLock::TryExclusive() {
  held_ = descriptor_ >= 0 && Lock(descriptor_, LOCK_EX | LOCK_NB);
  return held_;
}

bool FileLock::StillLinked() const {
  struct stat info {};
  return descriptor_ >= 0 && ::fstat(descriptor_, &info) == 0 && info.st_nlink > 0;
}

}  // namespace bootlume
