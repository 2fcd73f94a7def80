#include "passes/kept/kept_values.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "passes/engine/bound_mark.h"
#include "platform/platform.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

namespace {

constexpr size_t kLargeBlockBytes = size_t{32} << 20;

// Room for `bytes` in the last large block, or a new one within the budget; nullptr when the
// budget is spent. Under the lock. Each room starts at a multiple of 8 bytes: a block of doubles
// may follow one of an odd number of 4-byte decimals.
char* take_room(KeptValues& kept, size_t bytes) {
  if (kept.memory.empty() || kept.last_block_used + bytes > kept.memory.back().bytes) {
    const size_t block_bytes = std::max(kLargeBlockBytes, bytes);
    const uint64_t budget_left = kept.budget - std::min(kept.budget, kept.large_block_bytes);
    const size_t granted = static_cast<size_t>(std::min<uint64_t>(block_bytes, budget_left));
    if (granted < bytes) return nullptr;
    void* memory = allocate_large_block(granted);
    if (memory == nullptr) return nullptr;
    kept.memory.push_back({memory, granted});
    kept.large_block_bytes += granted;
    kept.last_block_used = 0;
  }
  char* room = static_cast<char*>(kept.memory.back().memory) + kept.last_block_used;
  kept.last_block_used += (bytes + alignof(double) - 1) / alignof(double) * alignof(double);
  return room;
}

// Where each month's rows begin once sorted by month (stably), and the order that sorts them.
std::vector<uint32_t> rows_by_month(const std::vector<unsigned char>& months,
                                    std::array<uint32_t, 13>& month_start) {
  month_start.fill(0);
  for (unsigned char month : months) ++month_start[month];
  for (size_t m = 1; m < month_start.size(); ++m) month_start[m] += month_start[m - 1];
  std::array<uint32_t, 13> place = month_start;
  std::vector<uint32_t> order(months.size());
  for (size_t r = 0; r < months.size(); ++r) order[place[months[r] - 1u]++] = uint32_t(r);
  return order;
}

// A kept value: where the mode transformed the values, the one read in its place, with the
// transformed rows' marks of what is not pooled.
inline double as_read(const ParsedBlock& block, size_t at) {
  const double v = block.values[at];
  return !block.has_read || (is_not_accumulated(v) && !is_at_bound_mark(v)) ? v : block.read[at];
}

// Rows of `columns` values, row-major, into the kept layout: tile by tile, each tile's rows
// sorted by month.
template <typename Element>
void copy_rows(const Element* from, size_t columns, const std::vector<uint32_t>& order,
               Element* to) {
  const size_t rows = order.size();
  for (size_t first = 0; first < columns; first += kTileColumns) {
    const size_t width = std::min(kTileColumns, columns - first);
    for (size_t i = 0; i < rows; ++i) {
      const Element* row = from + order[i] * columns + first;
      Element* place = to + kept_place(rows, first, width, i);
      if (width == kTileColumns) {  // a copy of known size, without a call
        std::memcpy(place, row, kTileColumns * sizeof(Element));
      } else {
        std::memcpy(place, row, width * sizeof(Element));
      }
    }
  }
}

// The block's values as read, in a buffer of this thread where the mode transformed them.
const double* values_as_read(const ParsedBlock& block, size_t values) {
  if (!block.has_read) return block.values.data();
  thread_local std::vector<double> read;
  read.resize(values);
  for (size_t i = 0; i < values; ++i) read[i] = as_read(block, i);
  return read.data();
}

// Whether the blocks kept so far, a sixteenth of the files or more, foretell that all of them
// would need a quarter more than the budget: then copying the rest before giving them up would
// cost time and no pass.
bool overflow_foretold(const KeptValues& kept) {
  if (kept.listed_file_bytes == 0 || kept.seen_file_bytes * 16 < kept.listed_file_bytes) return false;
  const double foretold =
      double(kept.kept_row_bytes) * double(kept.listed_file_bytes) / double(kept.seen_file_bytes);
  return foretold > 1.25 * double(kept.budget);
}

// Room for the block under the lock, nullptr once the budget is spent or foretold to be.
void* room_for(KeptValues& kept, const KeptBlock& kept_block, size_t bytes, uint64_t file_bytes) {
  std::lock_guard<std::mutex> hold(kept.lock);
  if (kept.given_up.load()) return nullptr;
  kept.kept_row_bytes += bytes;
  kept.seen_file_bytes += file_bytes;
  char* room = overflow_foretold(kept) ? nullptr : take_room(kept, bytes);
  if (room == nullptr) {
    kept.given_up.store(true);
    return nullptr;
  }
  KeptBlock placed = kept_block;
  placed.values = room;
  kept.blocks.push_back(placed);
  return room;
}

// The scale at which the block's values are kept: the last block's where they all fit it
// (encoded on the way, into codes), else the least that fits them all, else kRawDoubles. Where
// it had to look at the values as read, `as_read` points at them (always so for kRawDoubles).
int block_scale(const KeptValues& kept, const ParsedBlock& block, size_t values,
                std::vector<int32_t>& codes, const double*& as_read) {
  codes.resize(values);
  const double* read = block.has_read ? block.read.data() : nullptr;
  const int hint = kept.scale_hint.load(std::memory_order_relaxed);
  if (hint != kRawDoubles && encode_decimals(block.values.data(), read, codes.data(), values, hint))
    return hint;
  as_read = values_as_read(block, values);
  const double* const from = as_read;
  const int scale = decimal_scale(
      values, [from](size_t i) { return from[i]; }, hint);
  if (scale != kRawDoubles) encode_decimals(block.values.data(), read, codes.data(), values, scale);
  return scale;
}

}  // namespace

KeptValues::KeptValues(int column_count, uint64_t budget_bytes)
    : columns(std::max(column_count, 0)),
      budget(budget_bytes),
      least(static_cast<size_t>(columns) * 12, ~uint64_t{0}),
      greatest(least.size(), 0) {}

KeptValues::~KeptValues() { free_kept(*this); }

void keep_rows(KeptValues& kept, ParsedBlock& block, uint64_t file_bytes) {
  if (kept.given_up.load(std::memory_order_relaxed)) return;
  if (block.months.empty()) {  // its bytes count among those seen, or it would swell the forecast
    std::lock_guard<std::mutex> hold(kept.lock);
    kept.seen_file_bytes += file_bytes;
    return;
  }
  const size_t columns = static_cast<size_t>(kept.columns);
  const size_t values = block.months.size() * columns;
  KeptBlock kept_block;
  kept_block.rows = uint32_t(block.months.size());
  const std::vector<uint32_t> order = rows_by_month(block.months, kept_block.month_start);
  thread_local std::vector<int32_t> codes;
  const double* as_read = nullptr;
  kept_block.scale = block_scale(kept, block, values, codes, as_read);
  kept.scale_hint.store(kept_block.scale, std::memory_order_relaxed);
  if (kept_block.scale == kRawDoubles) {
    void* room = room_for(kept, kept_block, values * sizeof(double), file_bytes);
    if (room == nullptr) return;
    copy_rows(as_read, columns, order, static_cast<double*>(room));
  } else {
    void* room = room_for(kept, kept_block, values * sizeof(int32_t), file_bytes);
    if (room == nullptr) return;
    copy_rows(codes.data(), columns, order, static_cast<int32_t*>(room));
  }
  block.rows_kept = true;
}

namespace {

inline void note_key(KeptValues& kept, size_t cell, double value) {
  const uint64_t key = total_order_key(std::bit_cast<uint64_t>(value));
  kept.least[cell] = std::min(kept.least[cell], key);
  kept.greatest[cell] = std::max(kept.greatest[cell], key);
}

// The spans of a block whose rows were not kept, columns [first, end).
void note_row_spans(KeptValues& kept, const ParsedBlock& block, size_t first, size_t end) {
  const size_t width = static_cast<size_t>(kept.columns);
  for (size_t r = 0; r < block.months.size(); ++r) {
    const double* row = block.values.data() + r * width;
    const size_t month_cells = month_row(width, block.months[r]);
    for (size_t c = first; c < end; ++c) {
      if (is_not_accumulated(row[c]) && !is_at_bound_mark(row[c])) continue;
      note_key(kept, month_cells + c, as_read(block, r * width + c));
    }
  }
}

// The value at `at` of a kept block.
double kept_value(const KeptBlock& block, size_t at) {
  if (block.scale == kRawDoubles) return static_cast<const double*>(block.values)[at];
  const int32_t code = static_cast<const int32_t*>(block.values)[at];
  return code == kNotPooledCode ? std::bit_cast<double>(kNotReadBits)
                                : decimal_value(code, block.scale);
}

// The spans of a kept block's values.
void note_kept_spans(KeptValues& kept, const KeptBlock& block) {
  const size_t columns = static_cast<size_t>(kept.columns);
  for (size_t first = 0; first < columns; first += kTileColumns) {
    const size_t width = std::min(kTileColumns, columns - first);
    for (size_t month = 1; month <= 12; ++month) {
      const size_t run = kept_place(block.rows, first, width, block.month_start[month - 1]);
      const size_t values = (block.month_start[month] - block.month_start[month - 1]) * width;
      for (size_t i = 0; i < values; ++i) {
        const double v = kept_value(block, run + i);
        if (!is_not_accumulated(v) || is_at_bound_mark(v)) {
          note_key(kept, month_row(columns, month) + first + i % width, v);
        }
      }
    }
  }
}

}  // namespace

void note_spans(KeptValues& kept, const ParsedBlock& block, size_t first, size_t end) {
  if (!block.rows_kept) note_row_spans(kept, block, first, end);
}

CellSpan kept_span(const KeptValues& kept, size_t cell) {
  return {0, kept.least[cell], kept.greatest[cell]};
}

void give_up_kept(KeptValues& kept) {
  {
    std::lock_guard<std::mutex> hold(kept.lock);
    for (const KeptBlock& block : kept.blocks) note_kept_spans(kept, block);
  }
  free_kept(kept);
}

void free_kept(KeptValues& kept) {
  std::lock_guard<std::mutex> hold(kept.lock);
  for (const LargeBlock& block : kept.memory) free_large_block(block.memory, block.bytes);
  kept.memory.clear();
  kept.blocks.clear();
  kept.large_block_bytes = kept.last_block_used = 0;
  kept.kept_row_bytes = kept.seen_file_bytes = 0;
}

}  // namespace pctlfit
