// A file dialog that answers from a script and records what it was asked.
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "platform/Text.h"
#include "ui/FileDialog.h"

namespace bootlume::test {

class ScriptedChooser : public FileChooser {
 public:
  std::deque<std::optional<Text>> answers;  // an empty answer is a cancel; none left cancels too
  std::vector<FileChooserRequest> requests;

  std::optional<Text> Choose(const FileChooserRequest& request) override {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    std::optional<Text> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace bootlume::test
