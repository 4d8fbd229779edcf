// Turning a dropped file list (an RFC 2483 URI list) into the text that the
// got-file event carries.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "platform/Text.h"

namespace bootlume {

// The local paths named by the "file:" URIs of a URI list, percent-decoded, in
// list order. Lines may end in CR LF or LF; comment lines ("#") and other
// schemes are skipped, and so are file URIs of other hosts (the host part
// must be empty, "localhost" or `hostName`) and any that decode to a NUL.
std::vector<Text> LocalPathsFromUriList(std::string_view uriList, std::string_view hostName);

// The got-file text for a drop: the path itself for one file, every path
// followed by CR LF for several; nothing for none.
std::optional<Text> DroppedFilesText(const std::vector<Text>& paths);

}  // namespace bootlume
