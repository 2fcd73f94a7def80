#include "passes/kept_values.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/platform.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

namespace {

constexpr size_t kLargeBlockBytes = size_t{32} << 20;

// Room for `bytes` in the last large block, or a new one within the budget; nullptr when the
// budget is spent. Under the lock.
double* take_room(KeptValues& kept, size_t bytes) {
  if (kept.memory.empty() || kept.used + bytes > kept.memory.back().bytes) {
    const size_t block_bytes = std::max(kLargeBlockBytes, bytes);
    const uint64_t budget_left = kept.budget - std::min(kept.budget, kept.bytes);
    const size_t granted = static_cast<size_t>(std::min<uint64_t>(block_bytes, budget_left));
    if (granted < bytes) return nullptr;
    void* memory = allocate_large_block(granted);
    if (memory == nullptr) return nullptr;
    kept.memory.push_back({memory, granted});
    kept.bytes += granted;
    kept.used = 0;
  }
  auto* room = reinterpret_cast<double*>(static_cast<char*>(kept.memory.back().memory) + kept.used);
  kept.used += bytes;
  return room;
}

// The rows as read: where the mode transformed the values, those read in their places, with
// the transformed rows' marks of what is not pooled.
void copy_rows(const ParsedBlock& block, size_t values, double* to) {
  if (!block.has_read) {
    std::memcpy(to, block.values.data(), values * sizeof(double));
    return;
  }
  for (size_t i = 0; i < values; ++i) {
    const double v = block.values[i];
    to[i] = is_not_accumulated(v) && !is_at_bound_mark(v) ? v : block.read[i];
  }
}

}  // namespace

KeptValues::KeptValues(int column_count, uint64_t budget_bytes)
    : columns(std::max(column_count, 0)),
      budget(budget_bytes),
      least(static_cast<size_t>(columns) * 12, ~uint64_t{0}),
      greatest(least.size(), 0) {}

KeptValues::~KeptValues() { free_kept(*this); }

void keep_rows(KeptValues& kept, ParsedBlock& block) {
  if (block.months.empty() || kept.given_up.load(std::memory_order_relaxed)) return;
  const size_t values = block.months.size() * static_cast<size_t>(kept.columns);
  double* room = nullptr;
  {
    std::lock_guard<std::mutex> hold(kept.lock);
    if (kept.given_up.load()) return;
    room = take_room(kept, values * sizeof(double));
    if (room == nullptr) {
      kept.given_up.store(true);
      return;
    }
    kept.blocks.push_back({room, block.months});
  }
  copy_rows(block, values, room);
  block.rows_kept = true;
}

namespace {

// The spans of rows[0, months.size()) into least and greatest, columns [first, end).
void note_row_spans(const KeptValues& kept, const double* rows, const double* read,
                    const std::vector<unsigned char>& months, size_t first, size_t end,
                    std::vector<uint64_t>& least, std::vector<uint64_t>& greatest) {
  const size_t width = static_cast<size_t>(kept.columns);
  for (size_t r = 0; r < months.size(); ++r) {
    const double* row = rows + r * width;
    const double* value = read != nullptr ? read + r * width : row;
    const size_t month_cells = (months[r] - 1u) * width;
    for (size_t c = first; c < end; ++c) {
      if (is_not_accumulated(row[c]) && !is_at_bound_mark(row[c])) continue;
      const uint64_t key = total_order_key(std::bit_cast<uint64_t>(value[c]));
      least[month_cells + c] = std::min(least[month_cells + c], key);
      greatest[month_cells + c] = std::max(greatest[month_cells + c], key);
    }
  }
}

}  // namespace

void note_spans(KeptValues& kept, const ParsedBlock& block, size_t first, size_t end) {
  if (block.rows_kept) return;
  note_row_spans(kept, block.values.data(), block.has_read ? block.read.data() : nullptr,
                 block.months, first, end, kept.least, kept.greatest);
}

CellSpan kept_span(const KeptValues& kept, size_t cell) {
  return {0, kept.least[cell], kept.greatest[cell]};
}

std::vector<std::vector<const double*>> kept_rows_by_month(const KeptValues& kept) {
  std::vector<std::vector<const double*>> rows(12);
  const size_t width = static_cast<size_t>(kept.columns);
  for (const KeptBlock& block : kept.blocks) {
    for (size_t r = 0; r < block.months.size(); ++r) {
      rows[block.months[r] - 1u].push_back(block.rows + r * width);
    }
  }
  return rows;
}

void tile_keys(const std::vector<const double*>& month_rows, const KeptTile& tile,
               std::vector<std::vector<uint64_t>>& keys) {
  keys.resize(tile.end - tile.first);
  for (std::vector<uint64_t>& column : keys) column.clear();
  // Rows lie a page or more apart, farther than the processor looks ahead on its own.
  constexpr size_t kRowsAhead = 8;
  for (size_t r = 0; r < month_rows.size(); ++r) {
    if (r + kRowsAhead < month_rows.size()) {
      const double* ahead = month_rows[r + kRowsAhead] + tile.first;
      __builtin_prefetch(ahead);
      __builtin_prefetch(ahead + (tile.end - tile.first) - 1);
    }
    const double* row = month_rows[r];
    for (size_t c = tile.first; c < tile.end; ++c) {
      if (!is_not_accumulated(row[c])) {
        keys[c - tile.first].push_back(total_order_key(std::bit_cast<uint64_t>(row[c])));
      }
    }
  }
}

void give_up_kept(KeptValues& kept) {
  {
    std::lock_guard<std::mutex> hold(kept.lock);
    for (const KeptBlock& block : kept.blocks) {
      note_row_spans(kept, block.rows, nullptr, block.months, 0, size_t(kept.columns), kept.least,
                     kept.greatest);
    }
  }
  free_kept(kept);
}

void free_kept(KeptValues& kept) {
  std::lock_guard<std::mutex> hold(kept.lock);
  for (const LargeBlock& block : kept.memory) free_large_block(block.memory, block.bytes);
  kept.memory.clear();
  kept.blocks.clear();
  kept.bytes = kept.used = 0;
}

}  // namespace pctlfit
