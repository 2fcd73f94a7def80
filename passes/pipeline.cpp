#include "passes/pipeline.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace pctlfit {

namespace {

// Workers take items from the source in turn (reading is cheap and sequential) and parse them in
// parallel; the calling thread applies them strictly in sequence. At most `slots.size()` items are
// in flight, which bounds the memory. Reading has a lock of its own, so that a worker handing in
// a parsed block never waits for another one's read.
struct Pipeline {
  std::mutex source_mutex;  // taken before `mutex` when both are held
  std::mutex mutex;
  std::condition_variable slot_freed;
  std::condition_variable item_ready;
  std::vector<WorkItem> slots;
  std::vector<char> ready;
  size_t next_sequence = 0;
  size_t next_consumed = 0;
  bool source_done = false;
  bool stop = false;
};

void work(Pipeline& pipeline, BlockSource& source, const ParseItem& parse) {
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
    WorkItem& item = pipeline.slots[slot];
    next_item(source, item);
    if (item.kind == ItemKind::done || item.kind == ItemKind::failure) {
      std::lock_guard lock(pipeline.mutex);
      pipeline.source_done = true;
      pipeline.slot_freed.notify_all();
    }
    source_lock.unlock();
    parse(item);
    std::lock_guard lock(pipeline.mutex);
    pipeline.ready[slot] = 1;
    pipeline.item_ready.notify_one();
  }
}

void run_threads(BlockSource& source, int threads, const ParseItem& parse,
                 const ConsumeItem& consume) {
  Pipeline pipeline;
  pipeline.slots.resize(pipeline_slots(threads));
  for (size_t slot = 0; slot < pipeline.slots.size(); ++slot) pipeline.slots[slot].slot = slot;
  pipeline.ready.assign(pipeline.slots.size(), 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back(work, std::ref(pipeline), std::ref(source), std::cref(parse));
  }
  for (bool going = true; going;) {
    const size_t slot = pipeline.next_consumed % pipeline.slots.size();
    {
      std::unique_lock lock(pipeline.mutex);
      pipeline.item_ready.wait(lock, [&] { return pipeline.ready[slot] != 0; });
    }
    // The slot is ours until it is released below: no worker touches it meanwhile.
    going = consume(pipeline.slots[slot]);
    std::lock_guard lock(pipeline.mutex);
    pipeline.ready[slot] = 0;
    ++pipeline.next_consumed;
    if (!going) pipeline.stop = true;
    pipeline.slot_freed.notify_all();
  }
  for (std::thread& worker : workers) worker.join();
}

}  // namespace

size_t pipeline_slots(int threads) {
  return threads > 1 ? static_cast<size_t>(2 * threads + 2) : 1;
}

void run_pipeline(BlockSource& source, int threads, const ParseItem& parse,
                  const ConsumeItem& consume) {
  if (threads > 1) return run_threads(source, threads, parse, consume);
  WorkItem item;
  do {
    next_item(source, item);
    parse(item);
  } while (consume(item));
}

}  // namespace pctlfit
