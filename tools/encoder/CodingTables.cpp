#include "tools/encoder/CodingTables.h"

namespace bootlume::encoder {

const std::array<std::uint8_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

const std::array<std::uint8_t, 64> kDefaultIntraMatrix = {
    8,  16, 19, 22, 26, 27, 29, 34,  //
    16, 16, 22, 24, 27, 29, 34, 37,  //
    19, 22, 26, 27, 29, 34, 34, 38,  //
    22, 22, 26, 27, 29, 34, 37, 40,  //
    22, 26, 27, 29, 32, 35, 40, 48,  //
    26, 27, 29, 32, 35, 40, 48, 58,  //
    26, 27, 29, 34, 38, 46, 56, 69,  //
    27, 29, 35, 38, 46, 56, 69, 83};

int QuantiserScale(int code, bool nonLinear) {
  static constexpr std::array<std::uint8_t, 32> kNonLinear = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12,
                                                              14, 16, 18, 20, 22, 24, 28, 32, 36, 40, 44,
                                                              48, 52, 56, 64, 72, 80, 88, 96, 104, 112};
  if (code < 1) code = 1;
  if (code > 31) code = 31;
  return nonLinear ? kNonLinear[static_cast<std::size_t>(code)] : 2 * code;
}

const std::array<Vlc, 12> kDcSizeLuma = {{{0x4, 3},
                                          {0x0, 2},
                                          {0x1, 2},
                                          {0x5, 3},
                                          {0x6, 3},
                                          {0xe, 4},
                                          {0x1e, 5},
                                          {0x3e, 6},
                                          {0x7e, 7},
                                          {0xfe, 8},
                                          {0x1fe, 9},
                                          {0x1ff, 9}}};

const std::array<Vlc, 12> kDcSizeChroma = {{{0x0, 2},
                                            {0x1, 2},
                                            {0x2, 2},
                                            {0x6, 3},
                                            {0xe, 4},
                                            {0x1e, 5},
                                            {0x3e, 6},
                                            {0x7e, 7},
                                            {0xfe, 8},
                                            {0x1fe, 9},
                                            {0x3fe, 10},
                                            {0x3ff, 10}}};

namespace {

// One run/level pair with its code in both tables (sign bit not included).
struct PairCodes {
  std::uint8_t run;
  std::uint8_t level;
  Vlc zero;  // intra_vlc_format 0
  Vlc one;   // intra_vlc_format 1
};

// Levels 16 and up of run 0, 1 and the runs above 16 share their codes
// between the two tables.
constexpr PairCodes kPairs[] = {
    {0, 1, {0x3, 2}, {0x2, 2}},      {0, 2, {0x4, 4}, {0x6, 3}},      {0, 3, {0x5, 5}, {0x7, 4}},
    {0, 4, {0x6, 7}, {0x1c, 5}},     {0, 5, {0x26, 8}, {0x1d, 5}},    {0, 6, {0x21, 8}, {0x5, 6}},
    {0, 7, {0xa, 10}, {0x4, 6}},     {0, 8, {0x1d, 12}, {0x7b, 7}},   {0, 9, {0x18, 12}, {0x7c, 7}},
    {0, 10, {0x13, 12}, {0x23, 8}},  {0, 11, {0x10, 12}, {0x22, 8}},  {0, 12, {0x1a, 13}, {0xfa, 8}},
    {0, 13, {0x19, 13}, {0xfb, 8}},  {0, 14, {0x18, 13}, {0xfe, 8}},  {0, 15, {0x17, 13}, {0xff, 8}},
    {0, 16, {0x1f, 14}, {0x1f, 14}}, {0, 17, {0x1e, 14}, {0x1e, 14}}, {0, 18, {0x1d, 14}, {0x1d, 14}},
    {0, 19, {0x1c, 14}, {0x1c, 14}}, {0, 20, {0x1b, 14}, {0x1b, 14}}, {0, 21, {0x1a, 14}, {0x1a, 14}},
    {0, 22, {0x19, 14}, {0x19, 14}}, {0, 23, {0x18, 14}, {0x18, 14}}, {0, 24, {0x17, 14}, {0x17, 14}},
    {0, 25, {0x16, 14}, {0x16, 14}}, {0, 26, {0x15, 14}, {0x15, 14}}, {0, 27, {0x14, 14}, {0x14, 14}},
    {0, 28, {0x13, 14}, {0x13, 14}}, {0, 29, {0x12, 14}, {0x12, 14}}, {0, 30, {0x11, 14}, {0x11, 14}},
    {0, 31, {0x10, 14}, {0x10, 14}}, {0, 32, {0x18, 15}, {0x18, 15}}, {0, 33, {0x17, 15}, {0x17, 15}},
    {0, 34, {0x16, 15}, {0x16, 15}}, {0, 35, {0x15, 15}, {0x15, 15}}, {0, 36, {0x14, 15}, {0x14, 15}},
    {0, 37, {0x13, 15}, {0x13, 15}}, {0, 38, {0x12, 15}, {0x12, 15}}, {0, 39, {0x11, 15}, {0x11, 15}},
    {0, 40, {0x10, 15}, {0x10, 15}},  //
    {1, 1, {0x3, 3}, {0x2, 3}},      {1, 2, {0x6, 6}, {0x6, 5}},      {1, 3, {0x25, 8}, {0x79, 7}},
    {1, 4, {0xc, 10}, {0x27, 8}},    {1, 5, {0x1b, 12}, {0x20, 8}},   {1, 6, {0x16, 13}, {0x16, 13}},
    {1, 7, {0x15, 13}, {0x15, 13}},  {1, 8, {0x1f, 15}, {0x1f, 15}},  {1, 9, {0x1e, 15}, {0x1e, 15}},
    {1, 10, {0x1d, 15}, {0x1d, 15}}, {1, 11, {0x1c, 15}, {0x1c, 15}}, {1, 12, {0x1b, 15}, {0x1b, 15}},
    {1, 13, {0x1a, 15}, {0x1a, 15}}, {1, 14, {0x19, 15}, {0x19, 15}}, {1, 15, {0x13, 16}, {0x13, 16}},
    {1, 16, {0x12, 16}, {0x12, 16}}, {1, 17, {0x11, 16}, {0x11, 16}}, {1, 18, {0x10, 16}, {0x10, 16}},
    {2, 1, {0x5, 4}, {0x5, 5}},      {2, 2, {0x4, 7}, {0x7, 7}},      {2, 3, {0xb, 10}, {0xfc, 8}},
    {2, 4, {0x14, 12}, {0xc, 10}},   {2, 5, {0x14, 13}, {0x14, 13}},  //
    {3, 1, {0x7, 5}, {0x7, 5}},      {3, 2, {0x24, 8}, {0x26, 8}},    {3, 3, {0x1c, 12}, {0x1c, 12}},
    {3, 4, {0x13, 13}, {0x13, 13}},  //
    {4, 1, {0x6, 5}, {0x6, 6}},      {4, 2, {0xf, 10}, {0xfd, 8}},    {4, 3, {0x12, 12}, {0x12, 12}},
    {5, 1, {0x7, 6}, {0x7, 6}},      {5, 2, {0x9, 10}, {0x4, 9}},     {5, 3, {0x12, 13}, {0x12, 13}},
    {6, 1, {0x5, 6}, {0x6, 7}},      {6, 2, {0x1e, 12}, {0x1e, 12}},  {6, 3, {0x14, 16}, {0x14, 16}},
    {7, 1, {0x4, 6}, {0x4, 7}},      {7, 2, {0x15, 12}, {0x15, 12}},  //
    {8, 1, {0x7, 7}, {0x5, 7}},      {8, 2, {0x11, 12}, {0x11, 12}},  //
    {9, 1, {0x5, 7}, {0x78, 7}},     {9, 2, {0x11, 13}, {0x11, 13}},  //
    {10, 1, {0x27, 8}, {0x7a, 7}},   {10, 2, {0x10, 13}, {0x10, 13}},  //
    {11, 1, {0x23, 8}, {0x21, 8}},   {11, 2, {0x1a, 16}, {0x1a, 16}},  //
    {12, 1, {0x22, 8}, {0x25, 8}},   {12, 2, {0x19, 16}, {0x19, 16}},  //
    {13, 1, {0x20, 8}, {0x24, 8}},   {13, 2, {0x18, 16}, {0x18, 16}},  //
    {14, 1, {0xe, 10}, {0x5, 9}},    {14, 2, {0x17, 16}, {0x17, 16}},  //
    {15, 1, {0xd, 10}, {0x7, 9}},    {15, 2, {0x16, 16}, {0x16, 16}},  //
    {16, 1, {0x8, 10}, {0xd, 10}},   {16, 2, {0x15, 16}, {0x15, 16}},  //
    {17, 1, {0x1f, 12}, {0x1f, 12}}, {18, 1, {0x1a, 12}, {0x1a, 12}}, {19, 1, {0x19, 12}, {0x19, 12}},
    {20, 1, {0x17, 12}, {0x17, 12}}, {21, 1, {0x16, 12}, {0x16, 12}}, {22, 1, {0x1f, 13}, {0x1f, 13}},
    {23, 1, {0x1e, 13}, {0x1e, 13}}, {24, 1, {0x1d, 13}, {0x1d, 13}}, {25, 1, {0x1c, 13}, {0x1c, 13}},
    {26, 1, {0x1b, 13}, {0x1b, 13}}, {27, 1, {0x1f, 16}, {0x1f, 16}}, {28, 1, {0x1e, 16}, {0x1e, 16}},
    {29, 1, {0x1d, 16}, {0x1d, 16}}, {30, 1, {0x1c, 16}, {0x1c, 16}}, {31, 1, {0x1b, 16}, {0x1b, 16}},
};

AcTable BuildTable(bool one) {
  AcTable table{};
  table.endOfBlock = one ? Vlc{0x6, 4} : Vlc{0x2, 2};
  table.escape = Vlc{0x1, 6};
  for (auto& row : table.lengths) row.fill(kEscapeLength);
  for (const PairCodes& pair : kPairs) {
    const Vlc code = one ? pair.one : pair.zero;
    table.codes[pair.run][pair.level] = code;
    table.lengths[pair.run][pair.level] = static_cast<std::uint8_t>(code.length + 1);
  }
  for (int level = 0; level <= kMaxTableLevel + 1; ++level)
    for (int run = 0; run < 64; ++run)
      table.byLevel[static_cast<std::size_t>(level)][static_cast<std::size_t>(run)] =
          static_cast<std::uint8_t>(level >= 1 ? table.PairLength(run, level) : kEscapeLength);
  return table;
}

}  // namespace

const AcTable& IntraAcTable(int intraVlcFormat) {
  static const AcTable kZero = BuildTable(false);
  static const AcTable kOne = BuildTable(true);
  return intraVlcFormat ? kOne : kZero;
}

}  // namespace bootlume::encoder
