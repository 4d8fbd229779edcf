// Reads back the headers of a one-picture MPEG-2 stream, independently of the
// encoder's writers, and lists every start code in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bootlume::test {

struct StartCode {
  std::size_t offset;  // of the 00 00 01 prefix
  std::uint8_t code;
};

struct StreamHeaders {
  // sequence header
  int width = -1, height = -1, aspectRatio = -1, frameRateCode = -1, bitRateValue = -1, vbvBufferSize = -1;
  int constrainedParameters = -1, loadIntraMatrix = -1, loadNonIntraMatrix = -1;
  // sequence extension
  int profileAndLevel = -1, progressiveSequence = -1, chromaFormat = -1, sizeExtensions = -1, bitRateExtension = -1;
  int vbvBufferSizeExtension = -1, lowDelay = -1, frameRateExtensions = -1;
  // sequence display extension
  int videoFormat = -1, colourDescription = -1, colourPrimaries = -1, transferCharacteristics = -1, matrixCoefficients = -1;
  int displayWidth = -1, displayHeight = -1;
  // group of pictures
  int timeCode = -1, closedGop = -1, brokenLink = -1;
  // picture header and picture coding extension
  int temporalReference = -1, pictureCodingType = -1, vbvDelay = -1, fCodes = -1, intraDcPrecision = -1;
  int pictureStructure = -1, topFieldFirst = -1, framePredFrameDct = -1, concealmentVectors = -1, qScaleType = -1;
  int intraVlcFormat = -1, alternateScan = -1, repeatFirstField = -1, chroma420Type = -1, progressiveFrame = -1;
  int compositeDisplay = -1;
  bool markersValid = true;
  std::vector<int> sliceQuantiserCodes;  // per slice, in order
  std::vector<StartCode> startCodes;
  std::string problem;  // first structural fault found, empty when none
};

// Parses the stream; `problem` names anything that is not the expected
// sequence of start codes: B3 B5 B5 B8 00 B5, slices 1..rows in order, B7 at
// the very end, and no user data or other extension.
StreamHeaders InspectStream(const std::vector<std::uint8_t>& stream, int macroblockRows);

}  // namespace bootlume::test
