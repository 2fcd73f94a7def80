#include "passes/engine/pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace pctlfit {

namespace {

// A range of the columns, to which the blocks are applied one after another in file order.
struct ColumnRange {
  size_t first = 0;
  size_t end = 0;
  uint32_t next_block = 0;  // the block to apply next
  bool busy = false;        // a worker is applying a block to it
};

// An item in flight and where it stands: parsed, applied to how many ranges, done.
struct Slot {
  WorkItem item;
  bool parsed = false;        // the item's block is parsed
  uint32_t parsed_block = 0;  // and its number
  size_t ranges_left = 0;     // the ranges the block is still to be applied to
  bool done = false;          // the item may be consumed
};

// Workers take items from the source in turn, read and parse them in parallel, and apply each
// block to the column ranges: a range takes the blocks strictly in turn, and whichever worker
// is free takes the next block of a free range, so that nobody waits for the block before its
// own. Whichever worker finds the item that is next in sequence done consumes it and those done
// after it, one worker at a time; the calling thread is one of the workers. At most
// `slots.size()` items are in flight, which bounds the memory. Reading has a lock of its own, so
// that a worker handing in a parsed block never waits for another one's read.
struct Pipeline {
  std::mutex source_mutex;  // taken before `mutex` when both are held
  std::mutex mutex;
  std::condition_variable slot_freed;
  std::vector<Slot> slots;
  std::vector<size_t> slot_of_block;  // by block number modulo the slots
  std::vector<ColumnRange> ranges;
  uint32_t blocks_taken = 0;  // under source_mutex
  size_t next_sequence = 0;
  size_t next_consumed = 0;
  bool consuming = false;  // a worker is consuming
  bool source_done = false;
  bool stop = false;
};

// Fewer columns than this in a range cost more in bookkeeping than they share out.
constexpr size_t kLeastColumnsInRange = 16;

std::vector<ColumnRange> column_ranges(size_t columns, int threads) {
  const size_t most = 2 * static_cast<size_t>(threads);
  const size_t count = std::clamp<size_t>(columns / kLeastColumnsInRange, 1, most);
  std::vector<ColumnRange> ranges(count);
  for (size_t r = 0; r < count; ++r) {
    ranges[r].first = columns * r / count;
    ranges[r].end = columns * (r + 1) / count;
  }
  return ranges;
}

// The slot of a range's next block when that block is parsed and waits for the range.
std::optional<size_t> waiting_block(const Pipeline& pipeline, const ColumnRange& range) {
  if (range.busy) return std::nullopt;
  const size_t slot = pipeline.slot_of_block[range.next_block % pipeline.slots.size()];
  const Slot& waiting = pipeline.slots[slot];
  if (!waiting.parsed || waiting.parsed_block != range.next_block) return std::nullopt;
  return slot;
}

// Applies parsed blocks to free ranges while there are any, the range just done first (its
// columns are in this core's cache). An extent that could not be read takes its turns without
// applying anything. `lock` holds `mutex`.
void apply_waiting(Pipeline& pipeline, const ApplyColumns& apply,
                   std::unique_lock<std::mutex>& lock) {
  size_t r = 0;
  for (size_t looked = 0; looked < pipeline.ranges.size();) {
    ColumnRange& range = pipeline.ranges[r];
    const std::optional<size_t> slot = waiting_block(pipeline, range);
    if (!slot) {
      r = (r + 1) % pipeline.ranges.size();
      ++looked;
      continue;
    }
    range.busy = true;
    Slot& applied = pipeline.slots[*slot];
    lock.unlock();
    if (applied.item.kind == ItemKind::block) apply(applied.item, range.first, range.end);
    lock.lock();
    range.busy = false;
    ++range.next_block;
    if (--applied.ranges_left == 0) applied.done = true;
    looked = 0;
  }
}

// Consumes every done item in sequence, unless another worker is at it. `lock` holds `mutex`.
void consume_done(Pipeline& pipeline, const ConsumeItem& consume,
                  std::unique_lock<std::mutex>& lock) {
  if (pipeline.consuming) return;
  pipeline.consuming = true;
  const size_t capacity = pipeline.slots.size();
  while (!pipeline.stop && pipeline.slots[pipeline.next_consumed % capacity].done) {
    Slot& next = pipeline.slots[pipeline.next_consumed % capacity];
    // The slot is the consumer's until it is released below: no worker touches it meanwhile.
    lock.unlock();
    const bool going = consume(next.item);
    lock.lock();
    next.done = false;
    next.parsed = false;
    ++pipeline.next_consumed;
    if (!going) pipeline.stop = true;
    pipeline.slot_freed.notify_all();
  }
  pipeline.consuming = false;
}

// A slot for the next item, once one is free; nullopt when the pass is over.
std::optional<size_t> free_slot(Pipeline& pipeline) {
  std::unique_lock lock(pipeline.mutex);
  pipeline.slot_freed.wait(lock, [&] {
    return pipeline.stop || pipeline.source_done ||
           pipeline.next_sequence < pipeline.next_consumed + pipeline.slots.size();
  });
  if (pipeline.stop || pipeline.source_done) return std::nullopt;
  return pipeline.next_sequence++ % pipeline.slots.size();
}

// The next item into the slot, with its block's number.
WorkItem& take_item(Pipeline& pipeline, BlockSource& source, size_t slot) {
  WorkItem& item = pipeline.slots[slot].item;
  next_item(source, item);
  item.numbered = item.kind == ItemKind::block || item.kind == ItemKind::extent;
  if (item.numbered) item.block_number = pipeline.blocks_taken++;
  std::lock_guard lock(pipeline.mutex);
  if (item.numbered) {
    pipeline.slot_of_block[item.block_number % pipeline.slots.size()] = slot;
  }
  if (item.kind == ItemKind::done || item.kind == ItemKind::failure) {
    pipeline.source_done = true;
    pipeline.slot_freed.notify_all();
  }
  return item;
}

void work(Pipeline& pipeline, BlockSource& source, const PassSteps& steps) {
  const bool applies = static_cast<bool>(steps.apply);
  for (;;) {
    std::unique_lock source_lock(pipeline.source_mutex);
    const std::optional<size_t> slot = free_slot(pipeline);
    if (!slot) return;
    WorkItem& item = take_item(pipeline, source, *slot);
    source_lock.unlock();
    complete_item(source, item);
    steps.parse(item);
    std::unique_lock lock(pipeline.mutex);
    Slot& taken = pipeline.slots[*slot];
    if (item.numbered && applies) {
      // Every block taken is applied, whatever the consumer does: a later block waits for it.
      taken.parsed = true;
      taken.parsed_block = item.block_number;
      taken.ranges_left = pipeline.ranges.size();
      apply_waiting(pipeline, steps.apply, lock);
    } else {
      taken.done = true;
    }
    consume_done(pipeline, steps.consume, lock);
  }
}

void run_threads(BlockSource& source, int threads, const PassSteps& steps) {
  Pipeline pipeline;
  const size_t capacity = pipeline_slots(threads);
  pipeline.slots.resize(capacity);
  for (size_t slot = 0; slot < capacity; ++slot) pipeline.slots[slot].item.slot = slot;
  pipeline.slot_of_block.assign(capacity, 0);
  pipeline.ranges = column_ranges(steps.columns, threads);
  read_ahead_of(source, threads);
  std::vector<std::thread> workers;
  for (int t = 1; t < threads; ++t) {
    workers.emplace_back(work, std::ref(pipeline), std::ref(source), std::cref(steps));
  }
  work(pipeline, source, steps);
  for (std::thread& worker : workers) worker.join();
}

}  // namespace

size_t pipeline_slots(int threads) {
  return threads > 1 ? static_cast<size_t>(2 * threads + 2) : 1;
}

void run_pipeline(BlockSource& source, int threads, const PassSteps& steps) {
  if (threads > 1) return run_threads(source, threads, steps);
  WorkItem item;
  do {
    next_item(source, item);
    complete_item(source, item);
    steps.parse(item);
    if (item.kind == ItemKind::block && steps.apply) steps.apply(item, 0, steps.columns);
  } while (steps.consume(item));
}

}  // namespace pctlfit
