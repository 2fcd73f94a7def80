#pragma once
// --sample: the pooled values kept during the data pass, as long as they fit the budget, so
// that a run whose values fit reads no file twice. The counts are not known before the pass, so
// the blocks' rows are kept as they are parsed (a copy in large pages, in any order: the sample
// figures do not depend on it) until they would exceed the budget; then they are given up and
// the sample pass reads the files again. Each cell's least and greatest key are kept either way:
// the first windows of the passes that narrow the ranks.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "passes/block_parser.h"
#include "passes/sample_narrowing.h"

namespace pctlfit {

// A block's record rows as read, missing and unread values marked as the data pass marks them.
struct KeptBlock {
  const double* rows = nullptr;  // months.size() rows of `columns` values
  std::vector<unsigned char> months;
};

struct LargeBlock {
  void* memory = nullptr;
  size_t bytes = 0;
};

struct KeptValues {
  KeptValues(int columns, uint64_t budget_bytes);
  ~KeptValues();
  KeptValues(const KeptValues&) = delete;
  KeptValues& operator=(const KeptValues&) = delete;

  int columns;
  uint64_t budget;  // bytes the kept rows may take
  std::mutex lock;  // over the blocks and the large blocks they are in
  std::vector<KeptBlock> blocks;
  std::vector<LargeBlock> memory;
  size_t used = 0;  // bytes of the last large block taken
  uint64_t bytes = 0;
  std::atomic<bool> given_up{false};
  // Each cell's least and greatest key, cells as the statistics table lays them out.
  std::vector<uint64_t> least;
  std::vector<uint64_t> greatest;
};

// Keeps the record rows of a parsed block, and says so in it (the parse step: any thread, any
// order).
void keep_rows(KeptValues& kept, ParsedBlock& block);

// Notes the least and greatest key of the columns [first, end) (0-based) of a block whose rows
// were not kept (the apply step: a range at a time, so no two threads note one cell). Those of
// the kept rows are noted when they are given up.
void note_spans(KeptValues& kept, const ParsedBlock& block, size_t first, size_t end);

// The least and greatest key of a cell; count 0.
CellSpan kept_span(const KeptValues& kept, size_t cell);

// The cells of one month and a few columns side by side: their values lie in the same cache
// lines of each row, so that gathering a tile reads each kept line once.
struct KeptTile {
  int month;         // 1..12
  size_t first = 0;  // 0-based column range
  size_t end = 0;
};

// The rows of each month (1..12, at index month - 1).
std::vector<std::vector<const double*>> kept_rows_by_month(const KeptValues& kept);

// The pooled keys of the tile's cells, one buffer per column of the tile.
void tile_keys(const std::vector<const double*>& month_rows, const KeptTile& tile,
               std::vector<std::vector<uint64_t>>& keys);

// Frees every kept row, noting their spans first.
void give_up_kept(KeptValues& kept);

// Frees every kept row.
void free_kept(KeptValues& kept);

}  // namespace pctlfit
