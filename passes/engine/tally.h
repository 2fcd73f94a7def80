#pragma once
// A tally: what one per-cell feature needs of a pass over the files, in the pipeline's own
// contracts. The pass parses each block once (the data pass with every copy of its rows that
// some tally reads; a later pass its values as read), then hands it to each tally's steps in the
// list's order:
//   start: before the pass, with what is known of it (a forecast may need the listed bytes, a
//          block's scratch kept per pipeline slot the slots);
//   parse: each block once parsed (its item's kind is block), on any thread, in any order
//          (what may be done once per block);
//   apply: one column range of a block at a time, the blocks in file order (what sums into
//          cells: a range is one thread's alone, so sums keep the order of the values).
// A feature that fills per-cell state of its own is then one tally, beside that state.
//
// No merge step: a tally's state is combined with another's (a later range of files, another
// job's) only where a caller does that, and none does yet. Counts would add and bounds take the
// least and greatest; floating-point sums merge exactly only in list order.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "passes/engine/block_parser.h"
#include "passes/engine/block_source.h"
#include "passes/engine/pass_setup.h"

namespace pctlfit {

// What a tally learns before its pass.
struct PassStart {
  uint64_t input_bytes = 0;  // the listed files' sizes on disk, summed
  size_t slots = 1;          // the pipeline's slots: every item's slot is below this
};

struct Tally {
  RowCopies copies;
  std::function<void(const PassStart& start)> start;
  std::function<void(WorkItem& item)> parse;
  std::function<void(const WorkItem& item, size_t first, size_t end)> apply;
};

// Each tally's step, in the list's order.
void start_tallies(const std::vector<Tally>& tallies, const PassStart& start);
void parse_tallies(const std::vector<Tally>& tallies, WorkItem& item);
void apply_tallies(const std::vector<Tally>& tallies, const WorkItem& item, size_t first,
                   size_t end);

// What a pass over `files` tells its tallies before it starts.
PassStart pass_start(const PassFiles& files, const PassOptions& options);

// A pass after the data pass: each block's values parsed as read (untransformed; the data pass
// has described its lines), then handed to the tallies. Returns the failure that ended it, if
// any.
InputError run_later_pass(const std::vector<std::string>& entries, int columns,
                          const PassOptions& options, const std::vector<Tally>& tallies);

}  // namespace pctlfit
