// A prepared work area in a scratch folder, and a scratch current directory,
// for tests that run the real embedded tools.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ByteOperations.h"
#include "tests/support/TestSupport.h"
#include "workarea/WorkArea.h"

namespace bootlume::test {

class PipelineTest : public testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    PrepareWorkArea();
    ASSERT_TRUE(WorkAreaIsUsable());
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(cwd_.Path());
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    RemoveWorkArea();
    ReleaseWorkDirectory();
  }

  std::string Work(const char* name) const { return WorkFile(name).String(); }
  std::string Here(const std::string& name) const { return cwd_ / name; }

  // `size` bytes of code-like filler with `stream` laid in at `at` (1-based).
  static ByteBuffer FirmwareAround(ByteView stream, std::int32_t at, std::int32_t size) {
    ByteBuffer image;
    for (std::int32_t i = 0; i < size; ++i) image.AppendRepeated(static_cast<Byte>((i * 37) % 251 + 3), 1);
    return ReplaceRange(image, at, static_cast<std::int32_t>(stream.size()), stream);
  }

  TempDirectory runtime_;
  TempDirectory cwd_;
  std::filesystem::path previous_;
};

}  // namespace bootlume::test
