#include "tools/decoder/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bootlume::decoder {
namespace {

class OpenFile {
 public:
  explicit OpenFile(const std::string& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

InputRead ReadBoundedFile(const std::string& path, std::size_t limit) {
  InputRead result;
  const OpenFile file(path);
  struct stat info {};
  if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0) {
    result.failure = std::strerror(errno);
    return result;
  }
  if (S_ISDIR(info.st_mode)) {
    result.failure = std::strerror(EISDIR);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.failure = "not a regular file";
    return result;
  }
  if (info.st_size == 0) {
    result.failure = "input is empty";
    return result;
  }
  if (static_cast<std::uint64_t>(info.st_size) > limit) {
    result.failure = "input is larger than " + std::to_string(limit >> 20) + " MiB";
    return result;
  }
  // Read what is there, never more than the bound even if the file grows meanwhile.
  result.bytes.Resize(static_cast<std::int64_t>(info.st_size));
  const auto wanted = static_cast<std::size_t>(info.st_size);
  std::size_t total = 0;
  while (total < wanted) {
    const ssize_t got = ::read(file.Get(), result.bytes.data() + total, wanted - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.failure = std::strerror(errno);
      result.bytes = ByteBuffer();
      return result;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  result.bytes.Resize(static_cast<std::int64_t>(total));
  if (total == 0) result.failure = "input is empty";
  return result;
}

}  // namespace bootlume::decoder
