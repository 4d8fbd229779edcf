#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SystemServices.h"
#include "platform/posix/Descriptor.h"

namespace bootlume {
namespace {

struct Entry {
  std::string name;
  bool isDirectory;
};

// Entries of the open directory, without names that begin with ".".
// Symbolic links count as files, whatever they point to.
std::vector<Entry> ListEntries(int directory) {
  std::vector<Entry> entries;
  const int listing = ::dup(directory);
  if (listing < 0) return entries;
  DIR* stream = ::fdopendir(listing);
  if (stream == nullptr) {
    ::close(listing);
    return entries;
  }
  while (const dirent* entry = ::readdir(stream)) {
    if (entry->d_name[0] == '.') continue;
    struct stat info {};
    const bool isDirectory =
        ::fstatat(directory, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
    entries.push_back({entry->d_name, isDirectory});
  }
  ::closedir(stream);
  return entries;
}

// Removes what it can below the open directory; a failed entry does not stop
// the walk. Every step is relative to a descriptor opened without following
// links, so a link swapped in meanwhile cannot lead the walk elsewhere.
void EmptyDirectory(int directory) {
  for (const Entry& entry : ListEntries(directory)) {
    if (entry.isDirectory) {
      const Descriptor child(::openat(directory, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (child.Get() < 0) continue;
      EmptyDirectory(child.Get());
      ::unlinkat(directory, entry.name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(directory, entry.name.c_str(), 0);
    }
  }
}

std::string WithoutTrailingSeparators(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

// The path without leading blanks and trailing separators, or empty when it
// must not be removed: nothing left, the root, or a "." or ".." component
// at its end (removing those would empty the folder and then fail).
std::string RemovablePath(std::string_view path) {
  while (!path.empty() && path.front() == ' ') path.remove_prefix(1);
  std::string trimmed = WithoutTrailingSeparators(path);
  if (trimmed.empty() || trimmed == "/") return {};
  const std::string_view last = std::string_view(trimmed).substr(trimmed.rfind('/') + 1);
  if (last == "." || last == "..") return {};
  return trimmed;
}

}  // namespace

bool RemoveEmptyDirectory(const Text& path) { return !path.empty() && ::rmdir(path.CStr()) == 0; }

std::vector<Text> ListDirectory(const Text& path) {
  std::vector<Text> names;
  if (path.empty()) return names;
  DIR* stream = ::opendir(path.CStr());
  if (stream == nullptr) return names;
  while (const dirent* entry = ::readdir(stream)) {
    const std::string_view name(entry->d_name);
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(stream);
  return names;
}

bool IsPrivateDirectory(const Text& path) {
  struct stat info {};
  const std::string folder = WithoutTrailingSeparators(path.View());
  return !folder.empty() && ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

Text HostWorkDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return ConcatText({WithoutTrailingSeparators(runtime), "/bootlume/"});
  return ConcatText({"/tmp/bootlume-", std::to_string(::geteuid()), "/"});
}

bool MakeDirectory(const Text& path) { return !path.empty() && ::mkdir(path.CStr(), 0700) == 0; }

bool RemoveDirectoryTree(const Text& path) {
  const std::string target = RemovablePath(path.View());
  if (target.empty()) return false;
  {
    const Descriptor top(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (top.Get() < 0) return false;
    EmptyDirectory(top.Get());
  }
  return ::rmdir(target.c_str()) == 0;
}

}  // namespace bootlume
