#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemServices.h"
#include "platform/posix/AtomicFile.h"
#include "platform/posix/Descriptor.h"

namespace bootlume {
namespace {

// A regular file opened for reading, with its size; not open otherwise.
// O_NONBLOCK keeps a named pipe from blocking the open.
Descriptor OpenRegularFile(const Text& path, struct stat& info) {
  if (path.empty()) return Descriptor();
  Descriptor file(::open(path.CStr(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return Descriptor();
  return file;
}

// Reads up to `length` bytes; -1 on a read error.
ssize_t ReadFully(int fd, Byte* into, std::size_t length) {
  std::size_t total = 0;
  while (total < length) {
    const ssize_t got = ::read(fd, into + total, length - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(total);
}

bool WriteFile(const Text& path, std::initializer_list<ByteView> parts, std::optional<mode_t> mode) {
  if (path.empty()) return false;
  AtomicFile file(path.String(), mode);
  if (!file.IsOpen()) return false;
  for (ByteView part : parts) {
    if (!file.Write(part)) return false;
  }
  return file.Commit();
}

}  // namespace

ByteBuffer ReadWholeFile(const Text& path) {
  struct stat info {};
  const Descriptor file = OpenRegularFile(path, info);
  if (!file.IsOpen() || info.st_size <= 0 || info.st_size > kMaxBufferLength) return {};
  ByteBuffer content;
  content.Resize(info.st_size);
  const ssize_t got = ReadFully(file.Get(), content.data(), static_cast<std::size_t>(info.st_size));
  if (got <= 0) return {};
  content.Resize(got);
  return content;
}

bool WriteWholeFile(const Text& path, std::initializer_list<ByteView> parts) {
  return WriteFile(path, parts, std::nullopt);
}

bool WriteExecutableFile(const Text& path, ByteView data) {
  return WriteFile(path, {data}, AtomicFile::NewFileMode(0777) | S_IRUSR | S_IXUSR);
}

void IgnoreFileSizeLimitSignal() { ::signal(SIGXFSZ, SIG_IGN); }

bool RemoveFile(const Text& path) { return !path.empty() && ::unlink(path.CStr()) == 0; }

bool CopyFileTo(const Text& source, const Text& target) {
  struct stat info {};
  const Descriptor input = OpenRegularFile(source, info);
  if (!input.IsOpen() || target.empty()) return false;
  AtomicFile output(target.String(), info.st_mode & 0777);
  if (!output.IsOpen()) return false;
  Byte chunk[1 << 16];
  for (;;) {
    const ssize_t got = ReadFully(input.Get(), chunk, sizeof chunk);
    if (got < 0) return false;
    if (got == 0) break;
    if (!output.Write(ByteView(chunk, static_cast<std::size_t>(got)))) return false;
  }
  return output.Commit();
}

}  // namespace bootlume
