#pragma once
// A tally: what one per-cell feature needs of the data pass, in the pipeline's own contracts.
// The pass parses each block once, with every copy of its rows that some tally reads, then
// hands it to each tally's steps in the list's order:
//   start: before the pass, with the bytes the listed files hold (a forecast may need them);
//   parse: each block once parsed (its item's kind is block), on any thread, in any order
//          (what may be done once per block);
//   apply: one column range of a block at a time, the blocks in file order (what sums into
//          cells: a range is one thread's alone, so sums keep the order of the values).
// A feature that fills per-cell state of its own is then one tally, beside that state.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "passes/engine/block_parser.h"
#include "passes/engine/block_source.h"

namespace pctlfit {

struct Tally {
  RowCopies copies;
  std::function<void(uint64_t input_bytes)> start;
  std::function<void(WorkItem& item)> parse;
  std::function<void(const ParsedBlock& block, size_t first, size_t end)> apply;
};

}  // namespace pctlfit
