// The drop target's conversion of a dropped URI list to the got-file text.
// Input: a flags byte (1: this host is called "receiver-lab"), then the list.
// Properties: the paths are exactly those of the list's local "file:" URIs
// (read by a plain reference reader), each absolute and free of NULs; every
// path survives being written as a URI and read back; the got-file text is
// the path itself for one file, each path followed by CR LF for several, and
// nothing for none.
#include <optional>
#include <string>
#include <vector>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/fuzz/checks/InputReader.h"
#include "ui/DropText.h"

namespace bootlume::fuzz {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return lower;
}

int Hex(char c) {
  const std::string_view digits = "0123456789abcdef";
  const std::size_t at = digits.find(Lower(std::string(1, c))[0]);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

std::optional<std::string> ReferencePath(std::string_view line, std::string_view host) {
  if (Lower(line.substr(0, 5)) != "file:") return std::nullopt;
  line.remove_prefix(5);
  if (line.substr(0, 2) == "//") {
    line.remove_prefix(2);
    const std::size_t slash = line.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string named = Lower(line.substr(0, slash));
    if (!named.empty() && named != "localhost" && (host.empty() || named != Lower(host))) return std::nullopt;
    line.remove_prefix(slash);
  }
  if (line.empty() || line[0] != '/') return std::nullopt;
  std::string path;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '%' && i + 2 < line.size() && Hex(line[i + 1]) >= 0 && Hex(line[i + 2]) >= 0) {
      path += static_cast<char>(Hex(line[i + 1]) * 16 + Hex(line[i + 2]));
      i += 2;
    } else {
      path += line[i];
    }
  }
  if (path.find('\0') != std::string::npos) return std::nullopt;
  return path;
}

std::vector<std::string> ReferencePaths(std::string_view list, std::string_view host) {
  std::vector<std::string> paths;
  std::size_t from = 0;
  while (from < list.size()) {
    std::size_t end = list.find('\n', from);
    if (end == std::string_view::npos) end = list.size();
    std::string_view line = list.substr(from, end - from);
    from = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (std::optional<std::string> path = ReferencePath(line, host)) paths.push_back(*path);
  }
  return paths;
}

std::string AsUri(std::string_view path) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
        std::string_view("/-._~").find(c) != std::string_view::npos) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

}  // namespace

CheckResult CheckDropText(ByteView input) {
  InputReader reader(input);
  const std::string_view host = (reader.Byte() & 1) ? "receiver-lab" : "";
  const std::string_view list = reader.RestAsText();

  const std::vector<Text> paths = LocalPathsFromUriList(list, host);
  const std::vector<std::string> expected = ReferencePaths(list, host);
  if (paths.size() != expected.size()) {
    return CheckResult::Fail(std::to_string(paths.size()) + " paths read, " + std::to_string(expected.size()) +
                             " expected");
  }
  std::string uris;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (paths[i].View() != expected[i]) return CheckResult::Fail("path " + std::to_string(i) + " differs");
    if (paths[i].empty() || paths[i].View().front() != '/') return CheckResult::Fail("a path that is not absolute");
    uris += AsUri(paths[i].View()) + "\r\n";
  }
  const std::vector<Text> again = LocalPathsFromUriList(uris, "");
  if (again != paths) return CheckResult::Fail("the paths do not survive being written as URIs and read back");

  const std::optional<Text> text = DroppedFilesText(paths);
  std::string joined;
  for (const Text& path : paths) joined += path.String() + "\r\n";
  if (paths.empty() ? text.has_value()
                    : (!text || text->View() != (paths.size() == 1 ? paths.front().String() : joined))) {
    return CheckResult::Fail("the got-file text is wrong for " + std::to_string(paths.size()) + " paths");
  }
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
