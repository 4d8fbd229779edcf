#include "tests/fuzz/checks/FuzzChecks.h"

namespace bootlume::fuzz {

const std::vector<FuzzCheck>& AllFuzzChecks() {
  static const std::vector<FuzzCheck> checks{
      {"slot_splice", CheckSlotSplice},
      {"byte_operations", CheckByteOperations},
      {"decoder_core", CheckDecoderCore},
      {"picture_readers", CheckPictureReaders},
      {"encoder_core", CheckEncoderCore},
      {"picture_view", CheckPictureView},
      {"filter_list", CheckFilterList},
      {"drop_text", CheckDropText},
      {"remove_directory_tree", CheckRemoveDirectoryTree},
      {"command_line", CheckCommandLine},
  };
  return checks;
}

const FuzzCheck* FindFuzzCheck(std::string_view name) {
  for (const FuzzCheck& check : AllFuzzChecks()) {
    if (name == check.name) return &check;
  }
  return nullptr;
}

}  // namespace bootlume::fuzz
