// Reading, resizing and converting pictures for the encoder: the whole
// pipeline per picture file (named on the command line, after Google
// Benchmark's own flags) and its stages on synthetic pictures.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "tools/picture/PictureInput.h"

namespace {

using namespace bootlume::picture;

RgbImage Noise(int width, int height) {
  RgbImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::uint32_t state = 7;
  for (auto& sample : image.pixels) sample = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
  return image;
}

void Pipeline(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    ReadResult read = ReadPicture(path, 720, 576);
    if (read.status != ReadStatus::kOk) {
      state.SkipWithError(read.detail.c_str());
      return;
    }
    benchmark::DoNotOptimize(ToPlanes420(ResizeRgb(read.image, 720, 576)));
  }
}

void Read(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    ReadResult read = ReadPicture(path, 720, 576);
    if (read.status != ReadStatus::kOk) {
      state.SkipWithError(read.detail.c_str());
      return;
    }
    benchmark::DoNotOptimize(read);
  }
}

void Resize(benchmark::State& state) {
  const RgbImage source = Noise(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) benchmark::DoNotOptimize(ResizeRgb(source, 720, 576));
}
BENCHMARK(Resize)->Args({3840, 2400})->Args({1920, 1200})->Args({360, 288})->Args({720, 576})->Unit(benchmark::kMillisecond)->UseRealTime();

void Convert(benchmark::State& state) {
  const RgbImage frame = Noise(720, 576);
  for (auto _ : state) benchmark::DoNotOptimize(ToPlanes420(frame));
}
BENCHMARK(Convert)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    name = name.substr(name.find_last_of('/') + 1);
    benchmark::RegisterBenchmark(("Pipeline/" + name).c_str(), Pipeline, std::string(argv[i]))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("Read/" + name).c_str(), Read, std::string(argv[i]))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
