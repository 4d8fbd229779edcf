#include "tests/encoder/StreamInspector.h"

namespace bootlume::test {
namespace {

class BitReader {
 public:
  BitReader(const std::vector<std::uint8_t>& bytes, std::size_t offset) : bytes_(bytes), bit_(offset * 8) {}
  int Get(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
      const std::size_t byte = bit_ / 8;
      const int bit = byte < bytes_.size() ? (bytes_[byte] >> (7 - bit_ % 8)) & 1 : 0;
      value = (value << 1) | bit;
      ++bit_;
    }
    return value;
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t bit_;
};

}  // namespace

StreamHeaders InspectStream(const std::vector<std::uint8_t>& stream, int macroblockRows) {
  StreamHeaders h;
  for (std::size_t i = 0; i + 3 < stream.size(); ++i) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) h.startCodes.push_back({i, stream[i + 3]});
  }
  std::vector<std::uint8_t> expected = {0xB3, 0xB5, 0xB5, 0xB8, 0x00, 0xB5};
  for (int row = 1; row <= macroblockRows; ++row) expected.push_back(static_cast<std::uint8_t>(row));
  expected.push_back(0xB7);
  std::vector<std::uint8_t> found;
  for (const StartCode& code : h.startCodes) found.push_back(code.code);
  if (found != expected) h.problem = "unexpected start code sequence";
  if (stream.size() < 4 || h.startCodes.empty() || h.startCodes.front().offset != 0) h.problem = "does not begin with a start code";
  if (!h.startCodes.empty() && h.startCodes.back().offset + 4 != stream.size()) h.problem = "does not end with the end code";
  if (!h.problem.empty()) return h;

  auto marker = [&](BitReader& r) {
    if (r.Get(1) != 1) h.markersValid = false;
  };
  {
    BitReader r(stream, h.startCodes[0].offset + 4);
    h.width = r.Get(12);
    h.height = r.Get(12);
    h.aspectRatio = r.Get(4);
    h.frameRateCode = r.Get(4);
    h.bitRateValue = r.Get(18);
    marker(r);
    h.vbvBufferSize = r.Get(10);
    h.constrainedParameters = r.Get(1);
    h.loadIntraMatrix = r.Get(1);
    h.loadNonIntraMatrix = r.Get(1);
  }
  {
    BitReader r(stream, h.startCodes[1].offset + 4);
    if (r.Get(4) != 1) h.problem = "first extension is not a sequence extension";
    h.profileAndLevel = r.Get(8);
    h.progressiveSequence = r.Get(1);
    h.chromaFormat = r.Get(2);
    h.sizeExtensions = r.Get(4);
    h.bitRateExtension = r.Get(12);
    marker(r);
    h.vbvBufferSizeExtension = r.Get(8);
    h.lowDelay = r.Get(1);
    h.frameRateExtensions = r.Get(7);
  }
  {
    BitReader r(stream, h.startCodes[2].offset + 4);
    if (r.Get(4) != 2) h.problem = "second extension is not a sequence display extension";
    h.videoFormat = r.Get(3);
    h.colourDescription = r.Get(1);
    if (h.colourDescription) {
      h.colourPrimaries = r.Get(8);
      h.transferCharacteristics = r.Get(8);
      h.matrixCoefficients = r.Get(8);
    }
    h.displayWidth = r.Get(14);
    marker(r);
    h.displayHeight = r.Get(14);
  }
  {
    BitReader r(stream, h.startCodes[3].offset + 4);
    h.timeCode = r.Get(25);
    if (((h.timeCode >> 12) & 1) != 1) h.markersValid = false;
    h.timeCode &= ~(1 << 12);
    h.closedGop = r.Get(1);
    h.brokenLink = r.Get(1);
  }
  {
    BitReader r(stream, h.startCodes[4].offset + 4);
    h.temporalReference = r.Get(10);
    h.pictureCodingType = r.Get(3);
    h.vbvDelay = r.Get(16);
    if (r.Get(1) != 0) h.problem = "extra_bit_picture set";
  }
  {
    BitReader r(stream, h.startCodes[5].offset + 4);
    if (r.Get(4) != 8) h.problem = "third extension is not a picture coding extension";
    h.fCodes = r.Get(16);
    h.intraDcPrecision = r.Get(2);
    h.pictureStructure = r.Get(2);
    h.topFieldFirst = r.Get(1);
    h.framePredFrameDct = r.Get(1);
    h.concealmentVectors = r.Get(1);
    h.qScaleType = r.Get(1);
    h.intraVlcFormat = r.Get(1);
    h.alternateScan = r.Get(1);
    h.repeatFirstField = r.Get(1);
    h.chroma420Type = r.Get(1);
    h.progressiveFrame = r.Get(1);
    h.compositeDisplay = r.Get(1);
  }
  for (int row = 0; row < macroblockRows; ++row) {
    BitReader r(stream, h.startCodes[6 + static_cast<std::size_t>(row)].offset + 4);
    const int code = r.Get(5);
    h.sliceQuantiserCodes.push_back(code);
    if (r.Get(1) != 0) h.problem = "extra_bit_slice set";
  }
  return h;
}

}  // namespace bootlume::test
