#include "input/data_pass.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "input/block_source.h"
#include "platform/platform.h"

namespace pctlfit {

namespace {

// Record lines start after the three header lines.
constexpr long kHeaderLines = 3;

// Applies items to the table in sequence order; holds what must be known across items.
struct Consumer {
  const std::vector<std::string>& entries;
  StatsTable& table;
  WarningSink& warnings;
  const ProgressSink& progress;
  CellCounts* bound_counts;
  CellCounts& missing_counts;
  const std::vector<std::string>& headings;
  PassSummary& summary;
  long lines_done = 0;        // lines of the current file before the next block
  long file_lines_used = 0;   // records and malformed lines of the current file
  bool extra_warned = false;  // the current file's line with extra values has been named
  uint64_t bytes_done = 0;    // of the files on disk
  uint64_t bytes_total = 0;
  InputError error;
};

// A later file whose header names another number of columns than the first file's.
void check_column_count(Consumer& consumer, const WorkItem& item, const std::string& file) {
  if (!item.has_records || item.file == 0 || item.header_columns == consumer.table.columns) return;
  const int columns = item.header_columns < 0 ? 0 : item.header_columns;
  warn_file(consumer.warnings, file, describe_column_count(columns, consumer.table.columns));
}

void count_bound_hits(CellCounts& counts, const ParsedBlock& parsed) {
  for (const auto& [record, column] : parsed.bound_hits) {
    ++counts.counts[cell_index(counts, int(column) + 1, parsed.months[record])];
  }
}

// The block's warnings in line order: its malformed lines, and the file's first line with more
// values than columns.
void warn_block(Consumer& consumer, const ParsedBlock& parsed, const std::string& file) {
  const ExtraValues& extra = parsed.extra;
  bool extra_pending = extra.line >= 0 && !consumer.extra_warned;
  const auto warn_extra = [&] {
    consumer.extra_warned = true;
    extra_pending = false;
    warn_line(consumer.warnings, file, consumer.lines_done + extra.line + 1,
              describe_extra_values(extra.values, consumer.table.columns, consumer.headings));
  };
  for (const BlockWarning& warning : parsed.warnings) {
    if (extra_pending && extra.line < warning.line) warn_extra();
    warn_line(consumer.warnings, file, consumer.lines_done + warning.line + 1,
              describe_record_problem(warning.parse, warning.field, consumer.table.columns,
                                      consumer.headings));
  }
  if (extra_pending) warn_extra();
  count_unshown_warnings(consumer.warnings, parsed.unshown_warnings);
}

void apply_block(Consumer& consumer, const WorkItem& item, const std::string& file) {
  const ParsedBlock& parsed = item.parsed;
  consumer.summary.records += parsed.records;
  consumer.summary.month_zero += parsed.month_zero;
  consumer.summary.not_records += parsed.not_records;
  consumer.file_lines_used += parsed.records + parsed.not_records;
  accumulate_block(item.parsed, consumer.table, consumer.missing_counts);
  if (consumer.bound_counts != nullptr) count_bound_hits(*consumer.bound_counts, item.parsed);
  warn_block(consumer, item.parsed, file);
  consumer.lines_done += item.parsed.lines;
}

void report_progress(const Consumer& consumer, const WorkItem& item, const std::string& file) {
  if (consumer.progress.report == nullptr) return;
  PassProgress progress;
  progress.files_done = item.kind == ItemKind::file_end ? item.file + 1 : item.file;
  progress.files_total = consumer.entries.size();
  progress.file = &file;
  progress.bytes_read = consumer.bytes_done;
  progress.bytes_total = consumer.bytes_total;
  consumer.progress.report(consumer.progress.context, progress);
}

// Applies one item; false when the pass ends (done or failure).
bool consume(Consumer& consumer, const WorkItem& item) {
  if (item.kind == ItemKind::done) return false;
  if (item.kind == ItemKind::failure) {
    consumer.error = item.error;
    return false;
  }
  const std::string& file = consumer.entries[item.file];
  consumer.bytes_done += item.file_bytes;
  if (item.kind == ItemKind::file_begin) {
    consumer.lines_done = kHeaderLines;
    consumer.file_lines_used = 0;
    consumer.extra_warned = false;
    check_column_count(consumer, item, file);
    if (!item.has_records) warn_file(consumer.warnings, file, kNoRecords);
  } else if (item.kind == ItemKind::block) {
    apply_block(consumer, item, file);
  } else {
    end_file_warnings(consumer.warnings, file);
    if (consumer.file_lines_used == 0) warn_file(consumer.warnings, file, kNoRecords);
  }
  report_progress(consumer, item, file);
  return true;
}

void run_on_calling_thread(BlockSource& source, const Distribution& dist, Consumer& consumer) {
  WorkItem item;
  do {
    next_item(source, item);
    if (item.kind == ItemKind::block) {
      parse_block({item.bytes.data(), item.length}, consumer.table.columns, dist, item.parsed);
    }
  } while (consume(consumer, item));
}

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

void work(Pipeline& pipeline, BlockSource& source, const Distribution& dist, int columns) {
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
    if (item.kind == ItemKind::block)
      parse_block({item.bytes.data(), item.length}, columns, dist, item.parsed);
    std::lock_guard lock(pipeline.mutex);
    pipeline.ready[slot] = 1;
    pipeline.item_ready.notify_one();
  }
}

void run_pipeline(BlockSource& source, const Distribution& dist, Consumer& consumer, int threads) {
  Pipeline pipeline;
  pipeline.slots.resize(static_cast<size_t>(2 * threads + 2));
  pipeline.ready.assign(pipeline.slots.size(), 0);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back(work, std::ref(pipeline), std::ref(source), std::cref(dist),
                         consumer.table.columns);
  }
  for (bool going = true; going;) {
    const size_t slot = pipeline.next_consumed % pipeline.slots.size();
    {
      std::unique_lock lock(pipeline.mutex);
      pipeline.item_ready.wait(lock, [&] { return pipeline.ready[slot] != 0; });
    }
    // The slot is ours until it is released below: no worker touches it meanwhile.
    going = consume(consumer, pipeline.slots[slot]);
    std::lock_guard lock(pipeline.mutex);
    pipeline.ready[slot] = 0;
    ++pipeline.next_consumed;
    if (!going) pipeline.stop = true;
    pipeline.slot_freed.notify_all();
  }
  for (std::thread& worker : workers) worker.join();
}

uint64_t total_size(const std::vector<std::string>& entries) {
  uint64_t total = 0;
  for (const std::string& entry : entries) {
    uint64_t size = 0;
    if (file_size(entry, size)) total += size;
  }
  return total;
}

}  // namespace

InputError read_data_files(const std::vector<std::string>& entries, const Distribution& dist,
                           StatsTable& table, WarningSink& warnings,
                           const DataPassOptions& options) {
  BlockSource source;
  source.entries = &entries;
  source.block_size = options.block_size;
  source.longest_line = longest_record_line(table.columns);
  static const std::vector<std::string> kNoHeadings;
  CellCounts missing_counts;  // when the caller does not want them
  if (options.missing_counts == nullptr) missing_counts = allocate_cell_counts(table.columns);
  PassSummary summary;
  Consumer consumer{
      .entries = entries,
      .table = table,
      .warnings = warnings,
      .progress = options.progress,
      .bound_counts = options.bound_counts,
      .missing_counts =
          options.missing_counts != nullptr ? *options.missing_counts : missing_counts,
      .headings = options.headings != nullptr ? *options.headings : kNoHeadings,
      .summary = options.summary != nullptr ? *options.summary : summary,
      .bytes_total = total_size(entries),
      .error = {},
  };
  if (options.threads > 1 && consumer.bytes_total >= options.min_bytes_for_threads) {
    run_pipeline(source, dist, consumer, options.threads);
  } else {
    run_on_calling_thread(source, dist, consumer);
  }
  close_block_source(source);
  return consumer.error;
}

}  // namespace pctlfit
