#include "tools/encoder/PictureWriter.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "tools/encoder/BitWriter.h"
#include "tools/encoder/CodingTables.h"
#include "tools/encoder/Dct.h"
#include "tools/encoder/IntraQuantiser.h"

namespace bootlume::encoder {

namespace {

// dct_dc_size and dct_dc_differential of a block's DC difference.
void WriteDcDifference(BitWriter& out, int component, int difference) {
  const int size = DcSize(difference);
  const Vlc sizeCode = (component == 0 ? kDcSizeLuma : kDcSizeChroma)[static_cast<std::size_t>(size)];
  out.Put(sizeCode.bits, sizeCode.length);
  if (size > 0) out.Put(static_cast<std::uint32_t>(difference > 0 ? difference : difference + (1 << size) - 1), size);
}

// The AC levels as run/level codes, escaped where the table has none, and
// the end of block.
void WriteAcLevels(BitWriter& out, const ScanLevels& levels, const AcTable& table) {
  int run = 0;
  for (int i = 1; i < 64; ++i) {
    const int level = levels[static_cast<std::size_t>(i)];
    if (level == 0) {
      ++run;
      continue;
    }
    const int magnitude = std::abs(level);
    const Vlc pair = (run <= kMaxTableRun && magnitude <= kMaxTableLevel) ? table.codes[static_cast<std::size_t>(run)][static_cast<std::size_t>(magnitude)] : Vlc{};
    if (pair.length > 0) {
      out.Put(pair.bits, pair.length);
      out.Put(level < 0 ? 1 : 0, 1);
    } else {
      out.Put(table.escape.bits, table.escape.length);
      out.Put(static_cast<std::uint32_t>(run), 6);
      out.Put(static_cast<std::uint32_t>(level) & 0xfff, 12);
    }
    run = 0;
  }
  out.Put(table.endOfBlock.bits, table.endOfBlock.length);
}

// A decoder's picture of one block: dequantisation, mismatch control and
// the inverse DCT into rows `stride` apart.
void ReconstructBlock(int dcValue, const ScanLevels& levels, const ScanOrder& scan, int scale, std::uint8_t* samples,
                      int stride) {
  std::array<std::int32_t, 64> dequantised{};
  dequantised[0] = dcValue;
  for (int i = 1; i < 64; ++i) {
    const int level = levels[static_cast<std::size_t>(i)];
    if (level == 0) continue;
    const int raster = scan[static_cast<std::size_t>(i)];
    dequantised[static_cast<std::size_t>(raster)] = DequantiseIntraAc(level, raster, scale);
  }
  // Mismatch control, as every decoder applies it.
  std::int32_t sum = 0;
  for (std::int32_t value : dequantised) sum += value;
  if ((sum & 1) == 0) dequantised[63] ^= 1;
  InverseDct(dequantised, samples, stride);
}

std::uint8_t* LumaOrigin(picture::Planes420& planes, int mbx, int mby, int block, bool field) {
  const int x = mbx * 16 + (block & 1) * 8;
  const int y = mby * 16 + (field ? (block >> 1) : (block >> 1) * 8);
  return planes.y.data() + static_cast<std::ptrdiff_t>(y) * planes.width + x;
}

}  // namespace

EncodeResult WritePicture(const CostModel& model, const SequenceFormat& format, const Plan& plan, bool reconstruct) {
  EncodeResult result;
  PictureCoding coding = model.Coding();
  coding.intraDcPrecision = plan.precision;
  coding.intraVlcFormat = plan.format;
  result.coding = coding;
  result.fieldDctMacroblocks = model.FieldDctMacroblocks();
  const picture::Planes420& frame = model.Frame();
  picture::Planes420& picture = result.reconstruction;
  if (reconstruct) {
    picture.width = frame.width;
    picture.height = frame.height;
    picture.y.assign(frame.y.size(), 0);
    picture.cb.assign(frame.cb.size(), 0);
    picture.cr.assign(frame.cr.size(), 0);
  }

  const AcTable& table = IntraAcTable(plan.format);
  const ScanOrder& scan = coding.alternateScan ? kAlternateScan : kZigzag;
  const int multiplier = DcMultiplier(plan.precision);
  const int mbWidth = model.MbWidth();
  BitWriter out;
  WriteSequenceHeaders(out, format);
  WritePictureHeaders(out, coding);
  double scaleSum = 0;
  for (int mby = 0; mby < model.MbHeight(); ++mby) {
    int current = plan.code[static_cast<std::size_t>(mby * mbWidth)];
    WriteSliceHeader(out, mby, current);
    int predictor[3];
    std::fill(std::begin(predictor), std::end(predictor), 128 << plan.precision);
    for (int mbx = 0; mbx < mbWidth; ++mbx) {
      const std::size_t m = static_cast<std::size_t>(mby * mbWidth + mbx);
      const bool field = model.MacroblockAt(m).field;
      const int code = plan.code[m];
      const int scale = QuantiserScale(code, coding.nonLinearScale);
      scaleSum += scale;
      const bool quant = code != current;
      out.Put(1, 1);             // macroblock_address_increment 1
      out.Put(1, quant ? 2 : 1); // macroblock_type: intra, or intra with quantiser
      if (!coding.framePredFrameDct) out.Put(field ? 1 : 0, 1);
      if (quant) out.Put(static_cast<std::uint32_t>(code), 5);
      current = code;
      for (int b = 0; b < kBlocks; ++b) {
        const int component = b < 4 ? 0 : b - 3;
        const int dc = plan.dc[m * kBlocks + static_cast<std::size_t>(b)];
        WriteDcDifference(out, component, dc - predictor[component]);
        predictor[component] = dc;
        ScanLevels levels{};
        if (!(plan.zeroMask[m] & (1u << b))) model.QuantiseBlock(m, static_cast<std::size_t>(b), table, code, plan.trellisLambda, &levels);
        WriteAcLevels(out, levels, table);

        if (!reconstruct) continue;
        if (b < 4) {
          ReconstructBlock(dc * multiplier, levels, scan, scale, LumaOrigin(picture, mbx, mby, b, field),
                           field ? 2 * picture.width : picture.width);
        } else {
          std::vector<std::uint8_t>& plane = b == 4 ? picture.cb : picture.cr;
          const int chromaWidth = picture.width / 2;
          ReconstructBlock(dc * multiplier, levels, scan, scale,
                           plane.data() + static_cast<std::ptrdiff_t>(mby) * 8 * chromaWidth + mbx * 8, chromaWidth);
        }
      }
    }
  }
  WriteSequenceEnd(out);
  result.stream = out.Finish();
  result.meanQuantiserScale = scaleSum / static_cast<double>(model.MacroblockCount());
  result.status = EncodeStatus::kOk;
  return result;
}

}  // namespace bootlume::encoder
