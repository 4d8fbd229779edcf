// Builds the demo firmware image: a realistic 4 MiB image whose boot picture
// is our encoder's stream of the project's test card.
//   make-demo-firmware OUT_DIR ENCODER
// writes OUT_DIR/demo-firmware.bin, and the pictures it was made of:
// testcard.bmp (the boot picture) and skyline.bmp (to try a replacement).
#include <cstdio>
#include <random>
#include <string>

#include "engine/PictureSlot.h"
#include "platform/ByteOperations.h"
#include "platform/CommandLine.h"
#include "platform/SystemServices.h"
#include "samples/TestCard.h"

namespace {

using namespace bootlume;

constexpr std::int32_t kImageSize = 4 << 20;
constexpr std::int32_t kBootPictureAt = 0x100000;
constexpr std::int32_t kSecondStillAt = 0x300000;

bool WritePicture(const std::string& path, const samples::Canvas& canvas) {
  const std::vector<std::uint8_t> bmp = samples::EncodeBmp(canvas);
  return WriteWholeFile(Text(path), ByteView(bmp.data(), bmp.size()));
}

// Runs the encoder and returns its stream; empty when it made none.
ByteBuffer Encode(const std::string& encoder, const std::string& picture, const std::string& stream, bool ntsc,
                  int budget) {
  RemoveFile(Text(stream));
  const std::string line = QuoteArgument(encoder) + (ntsc ? " -n" : " -p") + " -f " + QuoteArgument(picture) + " -o " +
                           QuoteArgument(stream) + " -s " + std::to_string(budget);
  if (!RunCommandLine(Text(line), true, kShowHidden)) return {};
  return ReadWholeFile(Text(stream));
}

// Bytes that look like machine code: 32-bit words with the recurring
// opcode bytes and small immediates of compiled code.
void AppendCodeLike(ByteBuffer& image, std::int32_t count, std::mt19937& random) {
  static constexpr Byte kOpcodes[] = {0xE5, 0xE3, 0xE1, 0xEB, 0xE2, 0x1A, 0x0A, 0xE8};
  std::uniform_int_distribution<int> byte(0, 255);
  std::geometric_distribution<int> small(0.25);
  for (std::int32_t i = 0; i < count; i += 4) {
    const Byte word[4] = {static_cast<Byte>(std::min(small(random), 255)), static_cast<Byte>(byte(random) & 0x0F),
                          static_cast<Byte>(byte(random) & 0x9F), kOpcodes[byte(random) % 8]};
    image.Append(ByteView(word, 4));
  }
}

void AppendRandom(ByteBuffer& image, std::int32_t count, std::mt19937& random) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (std::int32_t i = 0; i < count; ++i) image.AppendRepeated(static_cast<Byte>(byte(random)), 1);
}

// Keeps random regions from holding a start code of their own by chance.
ByteBuffer ScrubStartCodes(const ByteBuffer& bytes) {
  ByteBuffer scrubbed = ReplaceOccurrences(bytes, kSequenceHeaderCode, ByteBuffer{0, 0, 2, 0xB3});
  return ReplaceOccurrences(scrubbed, kSequenceEndCode, ByteBuffer{0, 0, 2, 0xB7});
}

ByteBuffer AssembleImage(const ByteBuffer& bootPicture, const ByteBuffer& secondStill) {
  std::mt19937 random(2024);
  ByteBuffer image;
  image.Reserve(kImageSize);
  // A loader header: magic, version, sizes, a name.
  image.Append(ByteBuffer::FromString("BTLMFW01"));
  image.Append(ByteBuffer{0x00, 0x01, 0x02, 0x07, 0x00, 0x40, 0x00, 0x00});
  image.Append(ByteBuffer::FromString("Bootlume demo receiver firmware, not for flashing"));
  image.AppendRepeated(0x00, 0x100 - image.size());
  ByteBuffer body;
  AppendCodeLike(body, 0x40000 - 0x100, random);
  AppendRandom(body, kBootPictureAt - 0x40000, random);
  body = ScrubStartCodes(body);
  image.Append(body);
  // An end code of some other stream, lying before the boot picture: the
  // slot search must not take it.
  image = ReplaceRange(image, 0x30001, 4, kSequenceEndCode);

  image.Append(bootPicture);
  image.AppendRepeated(0xFF, 0x180000 - image.size());
  ByteBuffer more;
  AppendCodeLike(more, 0x80000, random);
  AppendRandom(more, kSecondStillAt - 0x200000, random);
  image.Append(ScrubStartCodes(more));
  image.Append(secondStill);
  image.AppendRepeated(0xFF, kImageSize - image.size());
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make-demo-firmware OUT_DIR ENCODER\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string encoder = argv[2];
  const std::string testCard = folder + "/testcard.bmp";
  const std::string skyline = folder + "/skyline.bmp";
  if (!WritePicture(testCard, samples::DrawTestCard(720, 576)) ||
      !WritePicture(skyline, samples::DrawSkyline(1280, 720))) {
    std::fprintf(stderr, "make-demo-firmware: cannot write the pictures into %s\n", folder.c_str());
    return 1;
  }
  const ByteBuffer bootPicture = Encode(encoder, testCard, folder + "/boot.m2v", false, 65536);
  const ByteBuffer secondStill = Encode(encoder, skyline, folder + "/second.m2v", true, 24576);
  if (bootPicture.empty() || secondStill.empty()) {
    std::fputs("make-demo-firmware: the encoder made no stream\n", stderr);
    return 1;
  }
  const ByteBuffer image = AssembleImage(bootPicture, secondStill);
  const PictureSlot slot = FindPictureSlot(image);
  if (image.size() != kImageSize || slot.start != kBootPictureAt + 1 || slot.length != bootPicture.size()) {
    std::fputs("make-demo-firmware: the image came out wrong\n", stderr);
    return 1;
  }
  if (!WriteWholeFile(Text(folder + "/demo-firmware.bin"), image)) {
    std::fprintf(stderr, "make-demo-firmware: cannot write %s/demo-firmware.bin\n", folder.c_str());
    return 1;
  }
  return 0;
}
