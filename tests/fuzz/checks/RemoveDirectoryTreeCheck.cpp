// RemoveDirectoryTree on an arbitrary path, inside a sandbox folder that is
// made afresh for every input: nested folders, files, names beginning with
// ".", and links that lead out of the folders to be removed. Relative paths
// start three levels below the sandbox's top; an absolute path is taken
// inside the sandbox (its top standing for "/"). A path whose removal could
// reach beyond the sandbox (it, or any reading of it, resolves to the
// sandbox's top or above) is not tried.
// Input: a flags byte (1: the folder "victim" holds ".keep" and ".hidden/"), then the
// path (up to its first NUL, as a Text).
// Properties: the named directory is taken as the path names it, leading
// blanks and trailing separators aside, and a link there is not followed;
// nothing outside that directory changes; names beginning with "." and what
// lies behind links survive; everything else in it goes, and the directory
// itself with it exactly when nothing survived; the result says whether the
// directory is gone. A path naming no directory, "." or ".." changes nothing.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/fuzz/checks/InputReader.h"
#include "platform/SystemServices.h"

namespace bootlume::fuzz {
namespace {

namespace fs = std::filesystem;

// One sandbox folder for the process, removed when it ends.
class Sandbox {
 public:
  Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "bootlume-fuzz-tree-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) top_ = pattern;
  }
  ~Sandbox() {
    std::error_code error;
    if (!top_.empty()) fs::remove_all(top_, error);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  const std::string& Top() const { return top_; }

 private:
  std::string top_;
};

const std::string& SandboxTop() {
  static const Sandbox sandbox;
  return sandbox.Top();
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// The sandbox, made anew.
void BuildSandbox(const std::string& top, bool keepFile) {
  for (const auto& entry : fs::directory_iterator(top)) fs::remove_all(entry.path());
  const std::string low = top + "/top/mid/low";
  for (const char* folder : {"/top/mid/low/victim/sub/deeper", "/top/mid/low/plain/inner", "/top/mid/low/empty",
                             "/top/mid/other", "/outside/inner"}) {
    fs::create_directories(top + folder);
  }
  WriteText(low + "/victim/a.txt", "a");
  WriteText(low + "/victim/sub/b.txt", "b");
  WriteText(low + "/victim/sub/deeper/c.txt", "c");
  if (keepFile) {
    fs::create_directories(low + "/victim/.hidden");
    WriteText(low + "/victim/.hidden/h.txt", "h");
    WriteText(low + "/victim/.keep", "keep");
  }
  WriteText(low + "/plain/d.txt", "d");
  WriteText(low + "/plain/inner/g.txt", "g");
  WriteText(low + "/file.txt", "file");
  WriteText(top + "/top/mid/other/e.txt", "e");
  WriteText(top + "/outside/canary.txt", "canary");
  WriteText(top + "/outside/inner/f.txt", "f");
  fs::create_directory_symlink("../../../../outside", low + "/victim/linkdir");
  fs::create_symlink(top + "/outside/canary.txt", low + "/victim/sub/linkfile");
  fs::create_directory_symlink("../../../outside", low + "/plain/linkdir");
  fs::create_directory_symlink("victim", low + "/victimlink");
}

// Every entry under the top, links not followed: relative path -> what it is.
std::map<std::string, std::string> Snapshot(const std::string& top) {
  std::map<std::string, std::string> entries;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(top, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    const fs::path& path = it->path();
    const std::string name = path.string().substr(top.size());
    if (it->is_symlink()) {
      entries[name] = "link " + fs::read_symlink(path).string();
    } else if (it->is_directory()) {
      entries[name] = "folder";
    } else {
      std::ifstream file(path);
      entries[name] = "file " + std::string(std::istreambuf_iterator<char>(file), {});
    }
  }
  return entries;
}

std::optional<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.empty() ? "." : path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

bool StrictlyInside(const std::string& path, const std::string& top) {
  return path.size() > top.size() + 1 && path.compare(0, top.size(), top) == 0 && path[top.size()] == '/';
}

bool Under(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == '/');
}

// Whether a path below `folder` passes through a name beginning with ".".
bool HasDotName(const std::string& path, const std::string& folder) {
  return path.find("/.", folder.size()) != std::string::npos;
}

class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path) : saved_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    changed_ = ::chdir(path.c_str()) == 0;
  }
  ~WorkingDirectory() {
    if (saved_ >= 0) {
      if (::fchdir(saved_) != 0) ::chdir("/");
      ::close(saved_);
    }
  }
  bool Changed() const { return changed_ && saved_ >= 0; }

 private:
  int saved_;
  bool changed_ = false;
};

}  // namespace

CheckResult CheckRemoveDirectoryTree(ByteView input) {
  InputReader reader(input);
  const bool keepFile = reader.Byte() & 1;
  const Text given(reader.RestAsText());
  const std::string& top = SandboxTop();
  if (top.empty()) return CheckResult::Fail("no sandbox folder could be made");
  BuildSandbox(top, keepFile);
  const WorkingDirectory here(top + "/top/mid/low");
  if (!here.Changed()) return CheckResult::Fail("the sandbox cannot be entered");

  // An absolute path is taken inside the sandbox.
  std::string path = given.String();
  const std::size_t first = path.find_first_not_of(' ');
  if (first != std::string::npos && path[first] == '/') path.insert(first, top);

  // What the path names: leading blanks and trailing separators aside, the
  // last name not followed when it is a link.
  std::string trimmed = path.substr(first == std::string::npos ? path.size() : first);
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const std::size_t slash = trimmed.rfind('/');
  const std::string base = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : trimmed.substr(0, slash);

  // Not tried when any reading of the path reaches the top or above.
  for (const std::string& reading : {path, trimmed, trimmed.empty() ? std::string() : folder}) {
    if (reading.empty()) continue;
    const std::optional<std::string> resolved = RealPath(reading);
    if (resolved && !StrictlyInside(*resolved, top)) return CheckResult::Pass();
  }

  std::optional<std::string> target;  // the directory the path names, if any
  bool refused = trimmed.empty() || base == "." || base == "..";
  if (!refused) {
    if (const std::optional<std::string> parent = RealPath(folder)) {
      struct stat info {};
      const std::string named = *parent + "/" + base;
      if (::lstat(named.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) target = named;
    }
  }
  if (target && !StrictlyInside(*target, top)) return CheckResult::Pass();

  const std::map<std::string, std::string> before = Snapshot(top);
  const bool removed = RemoveDirectoryTree(Text(path));
  const std::map<std::string, std::string> after = Snapshot(top);

  if (!target) {
    if (removed) return CheckResult::Fail("true for a path that names no directory to remove");
    return before == after ? CheckResult::Pass() : CheckResult::Fail("something changed for a refused path");
  }
  const std::string inside = target->substr(top.size());
  // What must stay: names beginning with "." and what lies behind them, and
  // the folders that hold them.
  std::set<std::string> survivors;
  for (const auto& [name, what] : before) {
    if (name == inside || !Under(name, inside) || !HasDotName(name, inside)) continue;
    for (std::string kept = name; kept.size() > inside.size(); kept.resize(kept.rfind('/'))) survivors.insert(kept);
  }
  for (const auto& [name, what] : before) {
    const auto now = after.find(name);
    const bool kept = now != after.end() && now->second == what;
    if (!Under(name, inside)) {
      if (!kept) return CheckResult::Fail(name + " outside the removed directory changed");
    } else if (survivors.contains(name)) {
      if (!kept) return CheckResult::Fail(name + ", or what it holds, begins with \".\" and was removed");
    } else if (name != inside && kept) {
      return CheckResult::Fail(name + " was left in the removed directory");
    }
  }
  for (const auto& [name, what] : after) {
    if (!before.contains(name)) return CheckResult::Fail(name + " appeared");
  }
  const bool gone = !after.contains(inside);
  if (gone == !survivors.empty()) return CheckResult::Fail("the directory itself was wrongly removed or kept");
  if (removed != gone) return CheckResult::Fail("the result does not tell whether the directory is gone");
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
