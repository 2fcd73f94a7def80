#include "passes/kept_values.h"

#include <algorithm>
#include <bit>

#include "stats/sample_percentile.h"

namespace pctlfit {

namespace {

bool reserve_within_budget(KeptValues& kept, std::vector<uint64_t>& keys, size_t capacity) {
  const uint64_t added = capacity * sizeof(uint64_t);
  // The new buffer counts before the old one is freed: the budget bounds the peak.
  if (kept.bytes.fetch_add(added) + added > kept.budget) {
    kept.bytes.fetch_sub(added);
    return false;
  }
  const size_t old_capacity = keys.capacity();
  keys.reserve(capacity);
  kept.bytes.fetch_sub(old_capacity * sizeof(uint64_t));
  return true;
}

// Grows a cell's buffer to what its count so far foretells for all files (the files are
// mostly alike: members of one ensemble), or by half where that does not fit or is no more.
bool grow(KeptValues& kept, std::vector<uint64_t>& keys, size_t file) {
  const size_t size = keys.size();
  const size_t by_half = std::max<size_t>(64, size + size / 2);
  const size_t foretold = size / (file + 1) * kept.files + size / 8;
  if (foretold > by_half && reserve_within_budget(kept, keys, foretold)) return true;
  if (reserve_within_budget(kept, keys, by_half)) return true;
  kept.given_up.store(true);
  return false;
}

}  // namespace

KeptValues::KeptValues(int column_count, size_t file_count, uint64_t budget_bytes)
    : columns(column_count),
      files(file_count),
      budget(budget_bytes),
      keys(static_cast<size_t>(std::max(column_count, 0)) * 12),
      least(keys.size(), ~uint64_t{0}),
      greatest(keys.size(), 0) {}

void keep_columns(KeptValues& kept, const ParsedBlock& block, size_t file, size_t first,
                  size_t end) {
  bool keeping = !kept.given_up.load(std::memory_order_relaxed);
  const size_t width = static_cast<size_t>(kept.columns);
  for (size_t r = 0; r < block.months.size(); ++r) {
    const double* row = block.values.data() + r * width;
    const double* read = block.has_read ? block.read.data() + r * width : row;
    const size_t month_cells = (block.months[r] - 1) * width;
    for (size_t c = first; c < end; ++c) {
      if (is_not_accumulated(row[c])) continue;
      const uint64_t key = total_order_key(std::bit_cast<uint64_t>(read[c]));
      const size_t cell = month_cells + c;
      kept.least[cell] = std::min(kept.least[cell], key);
      kept.greatest[cell] = std::max(kept.greatest[cell], key);
      if (!keeping) continue;
      std::vector<uint64_t>& keys = kept.keys[cell];
      if (keys.size() == keys.capacity() && !grow(kept, keys, file)) {
        keeping = false;
        continue;
      }
      keys.push_back(key);
    }
  }
}

CellSpan kept_span(const KeptValues& kept, size_t cell) {
  return {0, kept.least[cell], kept.greatest[cell]};
}

std::vector<std::vector<uint64_t>> take_kept(KeptValues& kept) {
  std::vector<std::vector<uint64_t>> keys = std::move(kept.keys);
  kept.keys.clear();
  kept.bytes.store(0);
  return keys;
}

void give_up_kept(KeptValues& kept) {
  for (std::vector<uint64_t>& keys : kept.keys) std::vector<uint64_t>().swap(keys);
  kept.bytes.store(0);
}

}  // namespace pctlfit
