#include "passes/pipeline.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pctlfit {

namespace {

// A range of columns that takes the blocks in turn: `applied` counts the blocks applied to it
// so far, and block k may be applied once it reads k. Each on a cache line of its own.
struct alignas(64) ColumnTurn {
  size_t first = 0;
  size_t end = 0;
  std::atomic<uint32_t> applied{0};
};

// Workers take items from the source in turn, parse them in parallel, and apply each block to
// the column ranges one after another, each range waiting for the block before. Whichever worker
// hands in the item that is next in sequence consumes it and those ready after it, one worker at
// a time, so that no thread waits only to consume; the calling thread is one of the workers. At
// most `slots.size()` items are in flight, which bounds the memory. Reading has a lock of its
// own, so that a worker handing in a parsed block never waits for another one's read.
struct Pipeline {
  std::mutex source_mutex;  // taken before `mutex` when both are held
  std::mutex mutex;
  std::condition_variable slot_freed;
  std::vector<WorkItem> slots;
  std::vector<char> ready;
  std::vector<ColumnTurn> turns;
  uint32_t blocks_taken = 0;  // under source_mutex
  size_t next_sequence = 0;
  size_t next_consumed = 0;
  bool consuming = false;  // a worker is consuming
  bool source_done = false;
  bool stop = false;
};

// Fewer columns than this in a range cost more in waiting than they share out.
constexpr size_t kLeastColumnsInTurn = 16;

std::vector<ColumnTurn> column_turns(size_t columns, int threads) {
  const size_t most = 2 * static_cast<size_t>(threads);
  const size_t count = std::clamp<size_t>(columns / kLeastColumnsInTurn, 1, most);
  std::vector<ColumnTurn> turns(count);
  for (size_t t = 0; t < count; ++t) {
    turns[t].first = columns * t / count;
    turns[t].end = columns * (t + 1) / count;
  }
  return turns;
}

// Waits until the range has taken `block` - 1 blocks. The wait is for one range of one block,
// mostly microseconds: a short spin spares the sleep and wake-up.
void wait_for_turn(const ColumnTurn& turn, uint32_t block) {
  constexpr int kSpins = 4000;
  uint32_t applied = turn.applied.load(std::memory_order_acquire);
  for (int spin = 0; applied != block && spin < kSpins; ++spin) {
    applied = turn.applied.load(std::memory_order_acquire);
  }
  while (applied != block) {
    turn.applied.wait(applied, std::memory_order_acquire);
    applied = turn.applied.load(std::memory_order_acquire);
  }
}

// Applies a block to every column range in turn, after the block before it.
void apply_in_turn(Pipeline& pipeline, const WorkItem& item, const ApplyColumns& apply) {
  for (ColumnTurn& turn : pipeline.turns) {
    wait_for_turn(turn, item.block_number);
    apply(item, turn.first, turn.end);
    turn.applied.store(item.block_number + 1, std::memory_order_release);
    turn.applied.notify_all();
  }
}

// The next item into the slot, with its block's number.
WorkItem& take_item(Pipeline& pipeline, BlockSource& source, size_t slot) {
  WorkItem& item = pipeline.slots[slot];
  next_item(source, item);
  if (item.kind == ItemKind::block) item.block_number = pipeline.blocks_taken++;
  if (item.kind == ItemKind::done || item.kind == ItemKind::failure) {
    std::lock_guard lock(pipeline.mutex);
    pipeline.source_done = true;
    pipeline.slot_freed.notify_all();
  }
  return item;
}

// Marks the slot's item ready; then, unless another worker is consuming, consumes every ready
// item in sequence. `lock` holds `mutex`.
void hand_in(Pipeline& pipeline, size_t slot, const ConsumeItem& consume,
             std::unique_lock<std::mutex>& lock) {
  pipeline.ready[slot] = 1;
  if (pipeline.consuming) return;
  pipeline.consuming = true;
  const size_t capacity = pipeline.slots.size();
  while (!pipeline.stop && pipeline.ready[pipeline.next_consumed % capacity] != 0) {
    const size_t next = pipeline.next_consumed % capacity;
    // The slot is the consumer's until it is released below: no worker touches it meanwhile.
    lock.unlock();
    const bool going = consume(pipeline.slots[next]);
    lock.lock();
    pipeline.ready[next] = 0;
    ++pipeline.next_consumed;
    if (!going) pipeline.stop = true;
    pipeline.slot_freed.notify_all();
  }
  pipeline.consuming = false;
}

void work(Pipeline& pipeline, BlockSource& source, const PassSteps& steps) {
  const size_t capacity = pipeline.slots.size();
  for (;;) {
    std::unique_lock source_lock(pipeline.source_mutex);
    size_t slot;
    {
      std::unique_lock lock(pipeline.mutex);
      pipeline.slot_freed.wait(lock, [&] {
        return pipeline.stop || pipeline.source_done ||
               pipeline.next_sequence < pipeline.next_consumed + capacity;
      });
      if (pipeline.stop || pipeline.source_done) return;
      slot = pipeline.next_sequence++ % capacity;
    }
    WorkItem& item = take_item(pipeline, source, slot);
    source_lock.unlock();
    steps.parse(item);
    // Every block taken is applied, whatever the consumer does: a later block waits for it.
    if (item.kind == ItemKind::block && steps.apply) apply_in_turn(pipeline, item, steps.apply);
    std::unique_lock lock(pipeline.mutex);
    hand_in(pipeline, slot, steps.consume, lock);
  }
}

void run_threads(BlockSource& source, int threads, const PassSteps& steps) {
  Pipeline pipeline;
  pipeline.slots.resize(pipeline_slots(threads));
  for (size_t slot = 0; slot < pipeline.slots.size(); ++slot) pipeline.slots[slot].slot = slot;
  pipeline.ready.assign(pipeline.slots.size(), 0);
  pipeline.turns = column_turns(steps.columns, threads);
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
    steps.parse(item);
    if (item.kind == ItemKind::block && steps.apply) steps.apply(item, 0, steps.columns);
  } while (steps.consume(item));
}

}  // namespace pctlfit
