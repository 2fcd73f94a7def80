#pragma once
// --sample: the pooled values kept during the data pass, as long as they fit the budget, so
// that a run whose values fit reads no file twice. The counts are not known before the pass, so
// the values are kept until they would exceed the budget; then they are all given up and the
// sample pass reads the files again.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "passes/block_parser.h"

namespace pctlfit {

struct KeptValues {
  KeptValues(int columns, size_t files, uint64_t budget_bytes);
  int columns;
  size_t files;     // in the pass: a cell's count so far foretells its last
  uint64_t budget;  // bytes the kept values' buffers may take
  // The totalOrder keys of each cell's values, month-major as a record's row is laid out:
  // cell (column c, month m) at (m - 1) * columns + c - 1.
  std::vector<std::vector<uint64_t>> keys;
  std::atomic<uint64_t> bytes{0};  // the buffers' capacity, of all cells
  std::atomic<bool> given_up{false};
};

// The cell of `column` (1-based) and `month` in the sample's figures: column-major.
inline size_t sample_cell(int column, int month) {
  return static_cast<size_t>(column - 1) * 12 + static_cast<size_t>(month - 1);
}

// Keeps the pooled values of the columns [first, end) (0-based) of a block of file `file`:
// those as read, from `block.read` where the block has them, else from `block.values`. A range
// is kept by whichever thread applies it, so no two threads grow the same cell.
void keep_columns(KeptValues& kept, const ParsedBlock& block, size_t file, size_t first,
                  size_t end);

// The kept keys in the sample's cell order, leaving `kept` empty.
std::vector<std::vector<uint64_t>> take_kept(KeptValues& kept);

// Gives every kept value up (after the budget was exceeded).
void give_up_kept(KeptValues& kept);

}  // namespace pctlfit
