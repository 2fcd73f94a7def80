#include "passes/data_pass.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "passes/dates_seen.h"
#include "passes/engine/block_parser.h"
#include "passes/sums_tally.h"

namespace pctlfit {

namespace {

// Applies items to the table in sequence order; holds what must be known across items.
struct Consumer {
  const std::vector<std::string>& entries;
  StatsTable& table;
  WarningSink& warnings;
  const ProgressSink& progress;
  CellCounts& bound_counts;
  CellCounts& missing_counts;
  const std::vector<std::string>& headings;
  PassSummary& summary;
  long header_lines = 3;      // record lines start after these
  long lines_done = 0;        // lines of the current file before the next block
  long file_lines_used = 0;   // records and malformed lines of the current file
  bool extra_warned = false;  // the current file's line with extra values has been named
  bool empty_warned = false;  // the current file's first empty field has been named
  long file_rows = 0;         // records of the current file with a month to pool into
  uint64_t bytes_done = 0;    // of the files on disk
  uint64_t bytes_total = 0;
  DatesSeen dates_seen;  // the current file's record dates so far
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
    ++counts.cells[cell_index(counts, int(column) + 1, parsed.months[record])];
  }
}

// A line warning of a block, by its line within the block.
struct LineWarning {
  long line = 0;
  std::string text;
};

// Pooled records whose date the file already held: a run appended to itself, or copied in twice,
// would otherwise be pooled twice without a word. Records need not be in time order. The first
// kLineWarningsShownPerFile of the block are kept (a file shows no more); the rest are counted.
void find_dates_again(Consumer& consumer, const ParsedBlock& parsed,
                      std::vector<LineWarning>& warnings, long& unshown) {
  size_t kept = 0;
  for (const RowDate& date : parsed.dates) {
    const long first = note_date(consumer.dates_seen, date, consumer.lines_done + date.line + 1);
    if (first < 0) continue;
    if (kept++ >= size_t{kLineWarningsShownPerFile}) {
      ++unshown;
      continue;
    }
    char when[96];
    std::snprintf(when, sizeof when, "%lld-%02lld-%02lld %lldh", date.year, date.month, date.day,
                  date.hour);
    warnings.push_back({date.line, std::string(when) + " again (first on line " +
                                       std::to_string(first) + "): the file may hold a run twice"});
  }
}

// The block's warnings in line order, whatever the block's bounds: its malformed lines, the
// file's first line with more values than columns and first empty field, and records of a date
// seen before. Each kind keeps at least as many as a file shows, so that the ones shown are the
// file's first.
void warn_block(Consumer& consumer, const ParsedBlock& parsed, const std::string& file) {
  std::vector<LineWarning> warnings;
  for (const BlockWarning& warning : parsed.warnings) {
    warnings.push_back(
        {warning.line, describe_record_problem(warning.parse, warning.field, consumer.table.columns,
                                               consumer.headings)});
  }
  if (parsed.extra.line >= 0 && !consumer.extra_warned) {
    consumer.extra_warned = true;
    warnings.push_back(
        {parsed.extra.line,
         describe_extra_values(parsed.extra.values, consumer.table.columns, consumer.headings)});
  }
  if (parsed.empty.line >= 0 && !consumer.empty_warned) {
    consumer.empty_warned = true;
    warnings.push_back(
        {parsed.empty.line, describe_empty_field(parsed.empty.column, consumer.headings)});
  }
  long unshown = parsed.unshown_warnings;
  find_dates_again(consumer, parsed, warnings, unshown);
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const LineWarning& a, const LineWarning& b) { return a.line < b.line; });
  for (const LineWarning& warning : warnings) {
    warn_line(consumer.warnings, file, consumer.lines_done + warning.line + 1, warning.text);
  }
  count_unshown_warnings(consumer.warnings, unshown);
}

void apply_block(Consumer& consumer, const WorkItem& item, const std::string& file) {
  const ParsedBlock& parsed = item.parsed;
  consumer.summary.records += parsed.records;
  consumer.summary.month_zero += parsed.month_zero;
  consumer.summary.not_records += parsed.not_records;
  consumer.file_lines_used += parsed.records + parsed.not_records;
  count_bound_hits(consumer.bound_counts, item.parsed);
  warn_block(consumer, item.parsed, file);
  consumer.file_rows += static_cast<long>(parsed.months.size());
  consumer.lines_done += item.parsed.lines;
}

void report_progress(const Consumer& consumer, const WorkItem& item, const std::string& file) {
  if (!consumer.progress) return;
  PassProgress progress;
  progress.files_done = item.kind == ItemKind::file_end ? item.file + 1 : item.file;
  progress.files_total = consumer.entries.size();
  progress.file = &file;
  progress.bytes_read = consumer.bytes_done;
  progress.bytes_total = consumer.bytes_total;
  consumer.progress(progress);
}

// A file's start: its per-file state reset, and what its header said.
void begin_file(Consumer& consumer, const WorkItem& item, const std::string& file) {
  consumer.lines_done = consumer.header_lines;
  consumer.file_lines_used = 0;
  consumer.extra_warned = false;
  consumer.empty_warned = false;
  consumer.file_rows = 0;
  forget_dates(consumer.dates_seen);
  if (item.cr_line_ends) warn_file(consumer.warnings, file, kCarriageReturnLineEnds);
  if (item.third_line_is_dated) {
    warn_line(consumer.warnings, file, 3, kThirdLineLooksDated);
  } else if (item.third_line_is_record) {
    warn_line(consumer.warnings, file, 3, kThirdLineLooksLikeRecord);
  }
  check_column_count(consumer, item, file);
  if (!item.heading_note.empty()) warn_file(consumer.warnings, file, item.heading_note);
  if (!item.has_records) warn_file(consumer.warnings, file, kNoRecords);
}

// A file's end: its warnings, and a file that pooled nothing.
void end_file(Consumer& consumer, const std::string& file) {
  end_file_warnings(consumer.warnings, file);
  if (consumer.file_lines_used == 0) warn_file(consumer.warnings, file, kNoRecords);
  // A file of lines that are all malformed or of month 0 pools nothing, though the title
  // names it among the files read: said once, beside its line warnings.
  if (consumer.file_lines_used > 0 && consumer.file_rows == 0) {
    warn_file(consumer.warnings, file,
              "none of its " + std::to_string(consumer.file_lines_used) +
                  " lines pooled: none is a record of a month 1..12");
  }
  forget_dates(consumer.dates_seen);
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
    begin_file(consumer, item, file);
  } else if (item.kind == ItemKind::block) {
    apply_block(consumer, item, file);
  } else {
    end_file(consumer, file);
  }
  report_progress(consumer, item, file);
  return true;
}

// The parse step: a block's lines into its transformed values, with every copy of its rows
// that a tally reads, then each tally's own parse step.
ParseItem block_parse(const Distribution& dist, int columns, FileLayout layout,
                      const std::vector<Tally>& all) {
  RowCopies copies;
  for (const Tally& tally : all) {
    copies.read = copies.read || tally.copies.read;
    copies.logs = copies.logs || tally.copies.logs;
  }
  const std::vector<Tally>* tallies = &all;
  return [&dist, columns, layout, copies, tallies](WorkItem& item) {
    if (item.kind != ItemKind::block) return;
    parse_block({item.bytes.data(), item.length}, columns, dist, item.parsed, layout, copies,
                item.column_order.get());
    parse_tallies(*tallies, item);
  };
}

// The apply step, a column range of a block at a time in file order: each tally's in turn.
ApplyColumns block_apply(const std::vector<Tally>& tallies) {
  return [&tallies](const WorkItem& item, size_t first, size_t end) {
    apply_tallies(tallies, item, first, end);
  };
}

}  // namespace

InputError read_data_files(const std::vector<std::string>& entries, const Distribution& dist,
                           StatsTable& table, WarningSink& warnings,
                           const DataPassOptions& options) {
  const PassFiles files = pass_files(entries, table.columns);
  static const std::vector<std::string> kNoHeadings;
  // The counts a caller does not want are made here and dropped.
  CellCounts bound_counts;
  if (options.bound_counts == nullptr) bound_counts = allocate_cell_counts(table.columns);
  CellCounts missing_counts;
  if (options.missing_counts == nullptr) missing_counts = allocate_cell_counts(table.columns);
  PassSummary summary;
  Consumer consumer{
      .entries = entries,
      .table = table,
      .warnings = warnings,
      .progress = options.progress,
      .bound_counts = options.bound_counts != nullptr ? *options.bound_counts : bound_counts,
      .missing_counts =
          options.missing_counts != nullptr ? *options.missing_counts : missing_counts,
      .headings = options.headings != nullptr ? *options.headings : kNoHeadings,
      .summary = options.summary != nullptr ? *options.summary : summary,
      .header_lines = header_lines(options.pass.layout),
      .bytes_total = files.total_bytes,
      .dates_seen = {},
      .error = {},
  };
  // The sums first, then the options' tallies, in their order.
  std::vector<Tally> tallies = {sums_tally(table, consumer.missing_counts, options.zero_counts)};
  tallies.insert(tallies.end(), options.tallies.begin(), options.tallies.end());
  start_tallies(tallies, pass_start(files, options.pass));
  const auto in_order = [&consumer](const WorkItem& item) { return consume(consumer, item); };
  run_pass(files, options.pass,
           {block_parse(dist, table.columns, options.pass.layout, tallies), block_apply(tallies),
            in_order});
  return consumer.error;
}

}  // namespace pctlfit
