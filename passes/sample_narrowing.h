#pragma once
// The sample percentiles of values that do not fit the budget: each wanted rank's value is
// narrowed to a window of keys, pass after pass. A counting pass splits every window into as
// many buckets as the budget allows and keeps the bucket that holds the rank; once the values
// left in all windows fit the budget, a last pass collects them and selects among them. A window
// of one key is found without a pass. Every window's span shrinks by the buckets' bits a pass,
// so ties (one value repeated millions of times) cost passes, never a wrong figure or memory.

#include <cstdint>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "passes/engine/pass_setup.h"

namespace pctlfit {

// What a value costs the passes after the data pass that hold it (in memory, or collected at
// the end of the narrowing): its 64-bit key. The data pass's kept rows may take less (decimals
// of 4 bytes); the choices between the ways to the figures count this.
inline constexpr uint64_t kHeldValueBytes = 8;

// A cell's values: how many, and the least and greatest totalOrder key among them.
struct CellSpan {
  uint64_t count = 0;
  uint64_t least = 0;
  uint64_t greatest = ~uint64_t{0};
};

// The keys at the ranks of each cell: ranks[begin[cell] .. begin[cell + 1]) (1-based, unique,
// ascending) of `spans[cell]`'s values; found keys come out in the same places. `passes` counts
// the passes over the files; `changed` is set when a pass found other counts than the data pass.
struct RankQuery {
  std::vector<CellSpan> spans;
  std::vector<size_t> begin;
  std::vector<uint64_t> ranks;
  std::vector<uint64_t> found;
  int passes = 0;
  bool changed = false;
};

// Bits a counting pass splits a window by when `windows` windows share `memory` bytes of
// counts of `count_bytes` each: at least 1, at most 16.
int narrowing_bits(uint64_t windows, uint64_t memory, uint64_t count_bytes);

InputError narrow_ranks(const std::vector<std::string>& entries, int columns,
                        const PassOptions& options, uint64_t memory, RankQuery& query);

}  // namespace pctlfit
