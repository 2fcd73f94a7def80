#pragma once
// --sample: the pooled values kept during the data pass, as long as they fit the budget, so
// that a run whose values fit reads no file twice. The counts are not known before the pass, so
// the blocks' rows are kept as they are parsed (a copy in large blocks, in any order: the sample
// figures do not depend on it; as decimals of 4 bytes where they come back exactly) until they
// would exceed the budget; then they are given up and the sample pass reads the files again. Each
// cell's least and greatest key are kept either way: the first windows of the passes that narrow
// the ranks.

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "passes/engine/block_parser.h"
#include "passes/kept/kept_decimals.h"
#include "passes/sample_narrowing.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

// The cells of one month and a few columns side by side: a tile is what the selection gathers
// at once, and each kept block lays out its values tile by tile, month by month, so that a
// tile's values of a block lie in one run of memory.
constexpr size_t kTileColumns = 16;  // two cache lines of a row

// Where a kept block of `rows` rows holds row `row` (in month order) of the tile of the columns
// [first, first + width): the layout, written and read by this one rule.
inline size_t kept_place(size_t rows, size_t first, size_t width, size_t row) {
  return rows * first + row * width;
}

// A block's record rows as read, missing and unread values marked as the data pass marks them.
// Rows are sorted by month (stably); the values of columns [first, first + width) of a tile
// begin at value rows * first, `width` a row.
struct KeptBlock {
  const void* values = nullptr;
  int scale = kRawDoubles;  // kRawDoubles: doubles; else decimals (int32_t) at this scale
  uint32_t rows = 0;
  std::array<uint32_t, 13> month_start{};  // month m's rows: [month_start[m - 1], month_start[m])
};

struct LargeBlock {
  void* memory = nullptr;
  size_t bytes = 0;
};

// A plain struct, as every state of a pass is; its fields are grouped by who touches them when,
// which is what keeps the threads apart.
struct KeptValues {
  KeptValues(int columns, uint64_t budget_bytes);
  ~KeptValues();
  KeptValues(const KeptValues&) = delete;
  KeptValues& operator=(const KeptValues&) = delete;

  // Set before the data pass (the budget, and the tally's start step: the listed bytes).
  int columns;
  uint64_t budget;                 // bytes the kept rows may take
  uint64_t listed_file_bytes = 0;  // what the listed files hold on disk (0: unknown)

  // The parse step's, on any thread, under `lock`: the kept blocks, the large blocks they lie
  // in, and what they took, which foretells against listed_file_bytes whether the rest will fit.
  std::mutex lock;
  std::vector<KeptBlock> blocks;
  std::vector<LargeBlock> memory;
  uint64_t large_block_bytes = 0;  // the large blocks taken from the budget, together
  size_t last_block_used = 0;      // bytes of the last large block handed out
  uint64_t kept_row_bytes = 0;     // the kept rows
  uint64_t seen_file_bytes = 0;    // what the kept rows' blocks took of the files on disk
  // Read without the lock by every thread: set once, never cleared during the pass.
  std::atomic<bool> given_up{false};
  std::atomic<int> scale_hint{0};  // the last block's decimal scale: the next one's likely

  // The apply step's, one column range at a time (no two threads note one cell), and after the
  // pass give_up_kept's for the rows kept: each cell's least and greatest key, cells as the
  // statistics table lays them out.
  std::vector<uint64_t> least;
  std::vector<uint64_t> greatest;
};

// Keeps the record rows of a parsed block, and says so in it (the parse step: any thread, any
// order); file_bytes: what the block took of its file on disk.
void keep_rows(KeptValues& kept, ParsedBlock& block, uint64_t file_bytes);

// Notes the least and greatest key of the columns [first, end) (0-based) of a block whose rows
// were not kept (the apply step: a range at a time, so no two threads note one cell). Those of
// the kept rows are noted when they are given up.
void note_spans(KeptValues& kept, const ParsedBlock& block, size_t first, size_t end);

// The least and greatest key of a cell; count 0.
CellSpan kept_span(const KeptValues& kept, size_t cell);

struct KeptTile {
  int month;         // 1..12
  size_t first = 0;  // 0-based column range
  size_t end = 0;
};

// Every tile of the kept columns: kTileColumns columns of one month (fewer at the right).
std::vector<KeptTile> kept_tiles(const KeptValues& kept);

// The form of every tile's keys: decimal keys at the greatest scale where every block is kept
// as decimals, else the totalOrder keys of doubles; keys of 32 bits where every block has that
// one scale.
struct KeyForm {
  int scale = kRawDoubles;
  bool narrow = false;
};
KeyForm kept_key_form(const KeptValues& kept);

// The value of a key of that form.
inline double kept_key_value(uint64_t key, KeyForm form) {
  if (form.scale == kRawDoubles) return std::bit_cast<double>(total_order_bits(key));
  if (form.narrow) return decimal_value(narrow_decimal_code(uint32_t(key)), form.scale);
  return decimal_key_value(key, form.scale);
}

// The pooled keys of the tile's cells, one buffer per column of the tile (Key: uint32_t for a
// narrow form, else uint64_t).
template <typename Key>
void tile_keys(const KeptValues& kept, const KeptTile& tile, KeyForm form,
               std::vector<std::vector<Key>>& keys);

// Frees every kept row, noting their spans first.
void give_up_kept(KeptValues& kept);

// Frees every kept row.
void free_kept(KeptValues& kept);

}  // namespace pctlfit
