#include "passes/sample_narrowing.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "passes/engine/value_pass.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

namespace {

constexpr int kMostBits = 16;

// What is known of one wanted rank: its key lies in [lo, hi], among `count` values there, at
// `rank` among them.
struct Target {
  uint64_t lo;
  uint64_t hi;
  uint64_t count;
  uint64_t rank;
  bool found() const { return lo == hi; }
};

// The open windows of a pass, cell after cell, each cell's in ascending keys; the targets that
// share a window are side by side.
struct Window {
  uint64_t lo;
  uint64_t hi;
  uint64_t count;
  int shift = 0;            // counting: a key's bucket is (key - lo) >> shift
  size_t first_bucket = 0;  // counting: the window's first count
  size_t first_place = 0;   // collecting: where the window's values go
};

struct Windows {
  std::vector<Window> all;
  std::vector<size_t> of_cell;    // cell c's windows: [of_cell[c], of_cell[c + 1])
  std::vector<size_t> of_target;  // each open target's window
  uint64_t values = 0;            // in all windows
  uint64_t targets = 0;           // open ones
};

Windows open_windows(const RankQuery& query, const std::vector<Target>& targets) {
  Windows windows;
  const size_t cells = query.begin.size() - 1;
  windows.of_target.assign(targets.size(), 0);
  for (size_t cell = 0; cell < cells; ++cell) {
    windows.of_cell.push_back(windows.all.size());
    for (size_t t = query.begin[cell]; t < query.begin[cell + 1]; ++t) {
      const Target& target = targets[t];
      if (target.found()) continue;
      if (windows.all.size() == windows.of_cell.back() || windows.all.back().lo != target.lo) {
        windows.all.push_back({target.lo, target.hi, target.count});
        windows.values += target.count;
      }
      windows.of_target[t] = windows.all.size() - 1;
      ++windows.targets;
    }
  }
  windows.of_cell.push_back(windows.all.size());
  return windows;
}

// Windows of a cell up to which they are counted rather than searched.
constexpr size_t kCountedWindows = 16;

// The window of `cell` that holds `key`, or null. A few windows below the key are counted, not
// searched: where a value falls among a cell's windows is a coin toss for the processor's
// branch guesses, and most values fall in none. Many (hundreds of levels) are searched, so that
// a value's cost does not grow with them.
Window* window_of(Windows& windows, size_t cell, uint64_t key) {
  const size_t first = windows.of_cell[cell];
  const size_t end = windows.of_cell[cell + 1];
  size_t below = first;  // one past the last window that starts at or below the key
  if (end - first <= kCountedWindows) {
    for (size_t w = first; w < end; ++w) below += windows.all[w].lo <= key;
  } else {
    const auto begin = windows.all.begin();
    below = static_cast<size_t>(
        std::upper_bound(begin + std::ptrdiff_t(first), begin + std::ptrdiff_t(end), key,
                         [](uint64_t k, const Window& w) { return k < w.lo; }) -
        begin);
  }
  if (below == first) return nullptr;
  Window& window = windows.all[below - 1];
  return key <= window.hi ? &window : nullptr;
}

uint64_t key_of(double value) { return total_order_key(std::bit_cast<uint64_t>(value)); }

// The values a window would keep for the next pass if split into 2^bits buckets and its values
// were even across them: a bucket's worth for each bucket that one of its targets' ranks falls
// in. Neighbouring ranks, such as a figure's two and its interval's ends, often share a bucket.
// `targets` [first, end) are the window's, side by side, ascending; found ones are passed over.
uint64_t values_kept(const Window& window, const std::vector<Target>& targets, size_t first,
                     size_t end, int bits) {
  const double per_bucket = std::ceil(double(window.count) / double(uint64_t{1} << bits));
  uint64_t buckets = 0;
  double last = -1;
  for (size_t t = first; t < end; ++t) {
    if (targets[t].found()) continue;
    const double bucket = std::floor(double(targets[t].rank - 1) / per_bucket);
    buckets += bucket != last;
    last = bucket;
  }
  return buckets * uint64_t(per_bucket);
}

// Each window's buckets: as few as leave its targets a quarter of their share of the budget for
// the values the next pass keeps of it, so that that pass most likely collects: more would only
// spread the counts over more cache lines. Returns the buckets of all windows.
size_t place_buckets(Windows& windows, const std::vector<Target>& targets, uint64_t memory,
                     uint64_t count_bytes) {
  const int most_bits = narrowing_bits(windows.all.size(), memory, count_bytes);
  const uint64_t share = std::max<uint64_t>(1, memory / kHeldValueBytes / 4 / windows.targets);
  size_t buckets = 0;
  size_t first = 0;  // the first target of the window at hand
  for (size_t w = 0; w < windows.all.size(); ++w) {
    while (targets[first].found() || windows.of_target[first] != w) ++first;
    size_t end = first;
    uint64_t open = 0;
    for (; end < targets.size() && (targets[end].found() || windows.of_target[end] == w); ++end) {
      open += !targets[end].found();
    }
    Window& window = windows.all[w];
    // A bucket's worth is kept at least: the bits that make one fit its targets' share first.
    const uint64_t allowed = open * share;
    const uint64_t least_buckets = (window.count + allowed - 1) / allowed;
    int bits = std::clamp(int(std::bit_width(least_buckets - 1)), 1, most_bits);
    while (bits < most_bits && values_kept(window, targets, first, end, bits) > allowed) ++bits;
    window.shift = std::max(0, int(std::bit_width(window.hi - window.lo)) - bits);
    window.first_bucket = buckets;
    buckets += static_cast<size_t>((window.hi - window.lo) >> window.shift) + 1;
    first = end;
  }
  return buckets;
}

// Each open target's window shrunk to the bucket that holds its rank.
template <typename Count>
void shrink_targets(const Windows& windows, const std::vector<Count>& counts,
                    std::vector<Target>& targets) {
  for (size_t t = 0; t < targets.size(); ++t) {
    Target& target = targets[t];
    if (target.found()) continue;
    const Window& window = windows.all[windows.of_target[t]];
    const size_t last =
        window.first_bucket + static_cast<size_t>((window.hi - window.lo) >> window.shift);
    size_t bucket = window.first_bucket;
    uint64_t below = 0;
    for (; bucket < last && below + counts[bucket] < target.rank; ++bucket) below += counts[bucket];
    target.lo = window.lo + (uint64_t(bucket - window.first_bucket) << window.shift);
    target.hi = target.lo + std::min(window.hi - target.lo, (uint64_t{1} << window.shift) - 1);
    target.count = counts[bucket];
    target.rank -= below;
  }
}

// Targets a joined window takes at most (a level's figure and interval ends are four).
constexpr size_t kMostJoined = 4;

// A run of a cell's open targets whose windows are one or touch, being joined.
struct JoinedWindow {
  uint64_t lo = 0;
  uint64_t hi = 0;
  uint64_t count = 0;
  uint64_t last_lo = 0;                              // the lo of the last window taken in
  std::vector<std::pair<size_t, uint64_t>> members;  // a target, and the values before its window
};

void give_joined_window(const JoinedWindow& joined, std::vector<Target>& targets) {
  for (const auto& [t, before] : joined.members) {
    targets[t] = {joined.lo, joined.hi, joined.count, targets[t].rank + before};
  }
}

// A cell's open targets whose windows touch (one ends where the next begins, as neighbouring
// buckets do) share one window that spans them, each target's rank counted from its start: the
// same values in fewer windows, among which the collecting pass looks up every value. The
// intervals' order statistics lie beside the figures' ranks, in the next bucket as often as not.
void join_touching_windows(const RankQuery& query, std::vector<Target>& targets) {
  for (size_t cell = 0; cell + 1 < query.begin.size(); ++cell) {
    JoinedWindow joined;
    for (size_t t = query.begin[cell]; t < query.begin[cell + 1]; ++t) {
      const Target& target = targets[t];
      if (target.found()) continue;
      const bool same = !joined.members.empty() && target.lo == joined.last_lo;
      // A few targets a window at most: each is selected among the window's values.
      const bool touching = !joined.members.empty() && joined.members.size() < kMostJoined &&
                            joined.hi != UINT64_MAX && target.lo == joined.hi + 1;
      if (!same && !touching) {
        give_joined_window(joined, targets);
        joined = {target.lo, target.hi, 0, target.lo, {}};
      }
      if (!same) {
        joined.hi = target.hi;
        joined.last_lo = target.lo;
        joined.count += target.count;
      }
      joined.members.push_back({t, joined.count - target.count});
    }
    give_joined_window(joined, targets);
  }
}

// What a pass over the files found: an error, or other counts than the data pass's (the files
// changed in between).
struct PassFound {
  InputError error;
  bool changed = false;
};

// A counting pass: each target's window shrinks to the bucket that holds its rank. Counts of
// 32 bits where no window holds more (most data): the counts are touched at random, and half
// the bytes stay in the caches more often.
template <typename Count>
PassFound count_pass(const std::vector<std::string>& entries, int columns,
                     const PassOptions& options, uint64_t memory, Windows& windows,
                     std::vector<Target>& targets) {
  std::vector<Count> counts(place_buckets(windows, targets, memory, sizeof(Count)), 0);
  const InputError error = pass_values(entries, columns, options, [&](size_t cell, double v) {
    const uint64_t key = key_of(v);
    if (const Window* window = window_of(windows, cell, key)) {
      ++counts[window->first_bucket + static_cast<size_t>((key - window->lo) >> window->shift)];
    }
  });
  if (failed(error)) return {error};
  for (const Window& window : windows.all) {
    const auto first = counts.begin() + static_cast<std::ptrdiff_t>(window.first_bucket);
    const auto end =
        first + static_cast<std::ptrdiff_t>((window.hi - window.lo) >> window.shift) + 1;
    if (std::accumulate(first, end, uint64_t{0}) != window.count) return {{}, true};
  }
  shrink_targets(windows, counts, targets);
  return {};
}

// Each open target selected among its window's collected values. A window's targets come side
// by side, ranks ascending: each is selected among the values its predecessor left above it.
// False where a window holds fewer values than counted (the files changed in between).
bool select_collected(const Windows& windows, const std::vector<size_t>& next,
                      std::vector<uint64_t>& values, std::vector<Target>& targets) {
  size_t selected_window = SIZE_MAX;
  auto from = values.begin();
  for (size_t t = 0; t < targets.size(); ++t) {
    Target& target = targets[t];
    if (target.found()) continue;
    const size_t w = windows.of_target[t];
    const Window& window = windows.all[w];
    if (next[w] != window.first_place + window.count) return false;
    const auto first = values.begin() + static_cast<std::ptrdiff_t>(window.first_place);
    if (w != selected_window) from = first;
    selected_window = w;
    const auto at = first + static_cast<std::ptrdiff_t>(target.rank - 1);
    std::nth_element(from, at, first + static_cast<std::ptrdiff_t>(window.count));
    target.lo = target.hi = *at;
    from = at + 1;
  }
  return true;
}

// The last pass: every open window's values collected, and each target's selected among them.
PassFound collect_pass(const std::vector<std::string>& entries, int columns,
                       const PassOptions& options, Windows& windows, std::vector<Target>& targets) {
  size_t places = 0;
  for (Window& window : windows.all) {
    window.first_place = places;
    places += static_cast<size_t>(window.count);
  }
  std::vector<uint64_t> values(places);
  std::vector<size_t> next(windows.all.size());
  for (size_t w = 0; w < windows.all.size(); ++w) next[w] = windows.all[w].first_place;
  std::atomic<bool> beyond{false};  // set by the threads that take the values
  const InputError error = pass_values(entries, columns, options, [&](size_t cell, double v) {
    const uint64_t key = key_of(v);
    if (const Window* window = window_of(windows, cell, key)) {
      const size_t w = static_cast<size_t>(window - windows.all.data());
      if (next[w] == window->first_place + window->count) {
        beyond.store(true, std::memory_order_relaxed);  // more values than counted
      } else {
        values[next[w]++] = key;
      }
    }
  });
  if (failed(error) || beyond.load()) return {error, beyond.load()};
  if (!select_collected(windows, next, values, targets)) return {{}, true};
  return {};
}

}  // namespace

int narrowing_bits(uint64_t windows, uint64_t memory, uint64_t count_bytes) {
  int bits = kMostBits;
  while (bits > 1 && windows * (count_bytes << bits) > memory) --bits;
  return bits;
}

InputError narrow_ranks(const std::vector<std::string>& entries, int columns,
                        const PassOptions& options, uint64_t memory, RankQuery& query) {
  std::vector<Target> targets;
  for (size_t cell = 0; cell + 1 < query.begin.size(); ++cell) {
    const CellSpan& span = query.spans[cell];
    for (size_t t = query.begin[cell]; t < query.begin[cell + 1]; ++t) {
      targets.push_back({span.least, span.greatest, span.count, query.ranks[t]});
    }
  }
  while (true) {
    Windows windows = open_windows(query, targets);
    if (windows.all.empty()) break;
    ++query.passes;
    PassOptions numbered = options;  // "sample pass 2" on the progress line
    numbered.pass_number = query.passes;
    const bool last = windows.values <= memory / kHeldValueBytes;
    // Only for collecting: a counting pass over joined windows could split them where the last
    // one did, and find them touching again.
    if (last) {
      windows = {};  // before the joined ones are opened: the two would double the peak
      join_touching_windows(query, targets);
      windows = open_windows(query, targets);
    }
    const bool narrow = std::all_of(windows.all.begin(), windows.all.end(),
                                    [](const Window& w) { return w.count <= UINT32_MAX; });
    const PassFound found =
        last     ? collect_pass(entries, columns, numbered, windows, targets)
        : narrow ? count_pass<uint32_t>(entries, columns, numbered, memory, windows, targets)
                 : count_pass<uint64_t>(entries, columns, numbered, memory, windows, targets);
    query.changed = found.changed;
    if (failed(found.error) || found.changed) return found.error;
  }
  query.found.clear();
  for (const Target& target : targets) query.found.push_back(target.lo);
  return {};
}

}  // namespace pctlfit
