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
#include "passes/sample_narrowing.h"

namespace pctlfit {

struct KeptValues {
  KeptValues(int columns, size_t files, uint64_t budget_bytes);
  int columns;
  size_t files;     // in the pass: a cell's count so far foretells its last
  uint64_t budget;  // bytes the kept values' buffers may take
  // The totalOrder keys of each cell's values, cells as the statistics table lays them out:
  // (column c, month m) at (m - 1) * columns + c - 1.
  std::vector<std::vector<uint64_t>> keys;
  // Each cell's least and greatest key, also once the values are given up: the narrowing's
  // first windows. Month-major as `keys`.
  std::vector<uint64_t> least;
  std::vector<uint64_t> greatest;
  std::atomic<uint64_t> bytes{0};  // the buffers' capacity, of all cells
  std::atomic<bool> given_up{false};
};

// Keeps the pooled values of the columns [first, end) (0-based) of a block of file `file`:
// those as read, from `block.read` where the block has them, else from `block.values`. A range
// is kept by whichever thread applies it, so no two threads grow the same cell.
void keep_columns(KeptValues& kept, const ParsedBlock& block, size_t file, size_t first,
                  size_t end);

// The least and greatest key of a cell; count 0.
CellSpan kept_span(const KeptValues& kept, size_t cell);

// The kept keys, leaving `kept` empty.
std::vector<std::vector<uint64_t>> take_kept(KeptValues& kept);

// Gives every kept value up (after the budget was exceeded); the spans stay.
void give_up_kept(KeptValues& kept);

}  // namespace pctlfit
