#pragma once
// The items of a block source, parsed on worker threads, their values applied to a pass's table
// column range by column range in file order, and consumed strictly in sequence on the calling
// thread: every cell's sums are formed in file, record order, whatever the thread count.

#include <functional>

#include "passes/engine/block_source.h"

namespace pctlfit {

using ParseItem = std::function<void(WorkItem& item)>;  // any thread, any order
// A block's values for the columns [first, end), 0-based: on any thread, but each column range
// takes the blocks one after another in file order, so that no two threads touch a cell at once
// and each cell's values arrive in file, record order.
using ApplyColumns = std::function<void(const WorkItem& item, size_t first, size_t end)>;
using ConsumeItem = std::function<bool(const WorkItem& item)>;  // in sequence; false: stop

struct PassSteps {
  ParseItem parse;
  ApplyColumns apply;  // may be empty
  ConsumeItem consume;
  size_t columns = 0;  // the columns that `apply` is given, in ranges
};

// The items in flight at most, each in a slot of its own (WorkItem::slot): 1 on one thread.
size_t pipeline_slots(int threads);

// Takes items from `source` until `consume` returns false. With `threads` > 1, that many
// workers take items from the source in turn, parse them and apply their blocks in parallel; at
// most pipeline_slots(threads) items are in flight, which bounds the memory. With 1, everything
// runs on the calling thread.
void run_pipeline(BlockSource& source, int threads, const PassSteps& steps);

}  // namespace pctlfit
