// Slot search against glibc memmem on the same firmware-like image, and the
// splice's cost per MiB.
#include <benchmark/benchmark.h>
#include <string.h>

#include <random>

#include "engine/PictureSlot.h"
#include "platform/ByteOperations.h"

namespace {

using namespace bootlume;

enum class Content { kFirmwareLike, kRandom };

// An image that looks like firmware: code-like bytes (many zeros and small
// values), compressed-looking random bytes, FF and zero padding, an end code
// early on, and the boot picture near the end. Or random bytes throughout.
ByteBuffer TestImage(std::int64_t size, Content content = Content::kFirmwareLike) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::geometric_distribution<int> small(0.3);
  ByteBuffer image;
  image.Reserve(size);
  if (content == Content::kRandom) {
    for (std::int64_t i = 0; i < size; ++i) image.Append(ByteBuffer{static_cast<Byte>(byte(random))});
  } else {
    const std::int64_t quarter = size / 4;
    for (std::int64_t i = 0; i < quarter; ++i) {
      image.Append(ByteBuffer{static_cast<Byte>(std::min(small(random), 255))});
    }
    for (std::int64_t i = 0; i < quarter; ++i) image.Append(ByteBuffer{static_cast<Byte>(byte(random))});
    image.AppendRepeated(0xFF, quarter);
    image.AppendRepeated(0x00, size - 3 * quarter);
  }
  image = ReplaceRange(image, 1000, 4, kSequenceEndCode);
  // Random bytes may hold the markers by chance; clear them so the slot sits
  // where the benchmark says.
  image = ReplaceOccurrences(image, kSequenceHeaderCode, ByteBuffer{0, 0, 2, 0xB3});
  image = ReplaceOccurrences(image, kSequenceEndCode, ByteBuffer{0, 0, 2, 0xB7}, 2000);
  const std::int32_t start = static_cast<std::int32_t>(size - (256 << 10));
  image = ReplaceRange(image, start, 4, kSequenceHeaderCode);
  image = ReplaceRange(image, start + (128 << 10), 4, kSequenceEndCode);
  return image;
}

const ByteBuffer& Image64(std::int64_t content) {
  static const ByteBuffer images[] = {TestImage(64 << 20, Content::kFirmwareLike),
                                      TestImage(64 << 20, Content::kRandom)};
  return images[content];
}

void FindPictureSlotIn64MiB(benchmark::State& state) {
  const ByteBuffer& image = Image64(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(FindPictureSlot(image));
  if (!FindPictureSlot(image).IsValid()) state.SkipWithError("no slot");
  state.SetBytesProcessed(state.iterations() * image.size());
}
BENCHMARK(FindPictureSlotIn64MiB)->ArgName("random")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void MemmemSameSearchesIn64MiB(benchmark::State& state) {
  const ByteBuffer& image = Image64(state.range(0));
  for (auto _ : state) {
    const void* header = memmem(image.data(), image.size(), kSequenceHeaderCode.data(), 4);
    const auto from = static_cast<const Byte*>(header);
    const void* end = memmem(from, image.size() - (from - image.data()), kSequenceEndCode.data(), 4);
    benchmark::DoNotOptimize(end);
  }
  state.SetBytesProcessed(state.iterations() * image.size());
}
BENCHMARK(MemmemSameSearchesIn64MiB)->ArgName("random")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void SplicePictureStreamIn16MiB(benchmark::State& state) {
  const ByteBuffer image = TestImage(16 << 20);
  const PictureSlot slot = FindPictureSlot(image);
  const ByteBuffer stream = MiddleBytes(ExtractPictureStream(image, slot), 1, slot.length / 2);
  for (auto _ : state) benchmark::DoNotOptimize(SplicePictureStream(image, slot, stream));
  state.SetBytesProcessed(state.iterations() * image.size());
}
BENCHMARK(SplicePictureStreamIn16MiB)->Unit(benchmark::kMillisecond);

// The floor for any splice: one plain copy of the image.
void CopyOf16MiB(benchmark::State& state) {
  const ByteBuffer image = TestImage(16 << 20);
  for (auto _ : state) benchmark::DoNotOptimize(MiddleBytes(image, 1, image.size()));
  state.SetBytesProcessed(state.iterations() * image.size());
}
BENCHMARK(CopyOf16MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
