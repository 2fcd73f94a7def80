#pragma once
// Work shared out over threads by part: the sample figures' cells, the intervals' solutions.

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace pctlfit {

// Runs work(part, parts) for part 0 .. parts - 1 on as many threads (this one among them),
// parts being thread_count, at least 1.
template <typename Work>
void on_threads(int thread_count, const Work& work) {
  const size_t threads = static_cast<size_t>(std::max(thread_count, 1));
  std::vector<std::thread> workers;
  for (size_t part = 1; part < threads; ++part) workers.emplace_back(work, part, threads);
  work(0, threads);
  for (std::thread& worker : workers) worker.join();
}

}  // namespace pctlfit
