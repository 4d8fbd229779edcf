#include "ui/DropText.h"

#include <string>

namespace bootlume {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decodes; a "%" not followed by two hex digits stays as it is.
// Nothing when the result would hold a NUL.
std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  if (out.find('\0') != std::string::npos) return std::nullopt;
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::optional<Text> LocalPathFromUri(std::string_view uri, std::string_view hostName) {
  if (uri.size() < 5 || !EqualsIgnoringCase(uri.substr(0, 5), "file:")) return std::nullopt;
  std::string_view rest = uri.substr(5);
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !EqualsIgnoringCase(host, "localhost") &&
        !(!hostName.empty() && EqualsIgnoringCase(host, hostName))) {
      return std::nullopt;
    }
    rest.remove_prefix(slash);
  }
  if (!rest.starts_with('/')) return std::nullopt;
  const std::optional<std::string> path = PercentDecode(rest);
  if (!path) return std::nullopt;
  return Text(*path);
}

}  // namespace

std::vector<Text> LocalPathsFromUriList(std::string_view uriList, std::string_view hostName) {
  std::vector<Text> paths;
  while (!uriList.empty()) {
    const std::size_t end = uriList.find('\n');
    std::string_view line = uriList.substr(0, end);
    uriList.remove_prefix(end == std::string_view::npos ? uriList.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (std::optional<Text> path = LocalPathFromUri(line, hostName)) paths.push_back(std::move(*path));
  }
  return paths;
}

std::optional<Text> DroppedFilesText(const std::vector<Text>& paths) {
  if (paths.empty()) return std::nullopt;
  if (paths.size() == 1) return paths.front();
  std::string joined;
  for (const Text& path : paths) {
    joined += path.View();
    joined += "\r\n";
  }
  return Text(joined);
}

}  // namespace bootlume
