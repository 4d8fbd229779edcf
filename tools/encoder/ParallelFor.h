// Splitting a loop over the cores.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace bootlume::encoder {

// Runs work(first, last) over 0..count split among the cores. An exception
// of any part (running out of memory) is rethrown here once all are done.
template <typename Work>
void ParallelFor(std::size_t count, const Work& work) {
  const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
  std::vector<std::exception_ptr> failures(threads);
  auto guarded = [&](std::size_t part, std::size_t first, std::size_t last) {
    try {
      work(first, last);
    } catch (...) {
      failures[part] = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  for (std::size_t t = 1; t < threads; ++t) {
    const std::size_t first = count * t / threads, last = count * (t + 1) / threads;
    try {
      helpers.emplace_back(guarded, t, first, last);
    } catch (const std::system_error&) {  // no thread to be had: do it here
      guarded(t, first, last);
    }
  }
  guarded(0, 0, count / threads);
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace bootlume::encoder
