// Helpers shared by the tests: scratch folders, running programs, fixtures.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ByteBuffer.h"

namespace bootlume::test {

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Path() / name as a string.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// What a finished program left: exit status (-1 when it did not exit
// normally, e.g. killed by a signal) and its output streams.
struct ProcessResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `arguments` (no shell) with the given extra environment entries
// ("NAME=value"), waits and captures stdout and stderr.
ProcessResult RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});

// Runs a shell command line; the exit status, -1 when killed.
int RunShell(const std::string& command);

// Whether a program is on PATH.
bool HaveProgram(const std::string& name);

std::string BinaryDir();  // where the project's programs are built
std::string SourceDir();  // the project's source tree
std::string SharedDir();  // the shared folder beside the project

ByteBuffer ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, ByteView bytes);

// PSNR in dB between two pictures of the same size, as ImageMagick's
// `compare` measures it over R'G'B'; -1 when they cannot be compared.
// Identical pictures give a large finite value.
double PicturePsnr(const std::string& a, const std::string& b);

// Width and height of a picture file as ImageMagick reads it; {0, 0} when
// it cannot be read.
std::pair<int, int> PictureSize(const std::string& path);

// The demo firmware the build makes, with the pictures it was made of.
std::string DemoFirmwarePath();
std::string DemoPicturePath(const std::string& name);  // "testcard.bmp", "skyline.bmp"

}  // namespace bootlume::test
