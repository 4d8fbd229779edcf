// How the window lays out its texts: stored texts may carry line breaks
// (CR LF), which are never drawn as characters.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bootlume {

// The text of a single-line control as drawn: line break characters removed.
std::string SingleLineCaption(std::string_view text);

// Width of a piece of text in pixels, as the drawing font measures it.
using MeasureText = std::function<double(std::string_view)>;

// Word-wraps UTF-8 text into lines no wider than `width`. CR LF, CR and LF
// break lines. A line may break after a blank (which is then dropped) and
// between characters when either is not ASCII (ideographs need no blanks),
// but never before punctuation that closes a phrase. A piece with no break
// opportunity that does not fit is broken between characters.
std::vector<std::string> WrapText(std::string_view text, double width, const MeasureText& measure);

}  // namespace bootlume
