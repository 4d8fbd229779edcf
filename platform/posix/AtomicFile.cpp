#include "platform/posix/AtomicFile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace bootlume {
namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

mode_t AtomicFile::NewFileMode(mode_t requested) {
  static std::once_flag once;
  static mode_t mask = 022;
  std::call_once(once, [] {
    mask = ::umask(022);
    ::umask(mask);
  });
  return requested & ~mask;
}

AtomicFile::AtomicFile(const std::string& target, std::optional<mode_t> mode) : target_(target) {
  const auto slash = target.rfind('/');
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return;
  temporary_ = target.substr(0, target.size() - name.size()) + "." + name + ".XXXXXX";
  file_ = Descriptor(::mkostemp(temporary_.data(), O_CLOEXEC));
  if (!file_.IsOpen()) {
    temporary_.clear();
    return;
  }
  struct stat existing {};
  if (!mode) {
    mode = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) ? existing.st_mode & 07777
                                                                               : NewFileMode(0666);
  }
  ::fchmod(file_.Get(), *mode);
}

AtomicFile::~AtomicFile() {
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool AtomicFile::Write(ByteView bytes) {
  const Byte* next = bytes.data();
  std::size_t left = bytes.size();
  while (!failed_ && left > 0) {
    const ssize_t written = ::write(file_.Get(), next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = true;
      break;
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  return !failed_ && IsOpen();
}

bool AtomicFile::Commit() {
  if (!IsOpen() || failed_ || committed_) return false;
  if (::fsync(file_.Get()) != 0 || !file_.Close()) return false;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return false;
  committed_ = true;
  // Make the rename itself durable; the data is already in place either way.
  const Descriptor folder(::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.IsOpen()) ::fsync(folder.Get());
  return true;
}

}  // namespace bootlume
