#pragma once
// The items of a block source, parsed on worker threads and consumed strictly in sequence on the
// calling thread, so that whatever the consumer adds up is added in file and record order.

#include <functional>

#include "passes/block_source.h"

namespace pctlfit {

using ParseItem = std::function<void(WorkItem& item)>;          // any thread, any order
using ConsumeItem = std::function<bool(const WorkItem& item)>;  // in sequence; false: stop

// The items in flight at most, each in a slot of its own (WorkItem::slot): 1 on one thread.
size_t pipeline_slots(int threads);

// Takes items from `source` until `consume` returns false. With `threads` > 1, that many
// workers take items from the source in turn and parse them in parallel; at most
// pipeline_slots(threads) items are in flight, which bounds the memory. With 1, everything runs on
// the calling thread.
void run_pipeline(BlockSource& source, int threads, const ParseItem& parse,
                  const ConsumeItem& consume);

}  // namespace pctlfit
