#include "passes/engine/block_parser.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "input/warnings.h"
#include "passes/engine/bound_mark.h"
#include "stats/domain_check.h"
#include "stats/log_each.h"

namespace pctlfit {

namespace {

const double kNotRead = std::bit_cast<double>(kNotReadBits);
const double kMissing = std::bit_cast<double>(kMissingBits);
const double kAtBound = std::bit_cast<double>(kAtBoundBits);

// Marks missing values and transforms the others of a family with a bound, its scale known
// when compiled: the loop holds no choice of transform.
template <FitScale kScale>
void transform_bounded(const Distribution& dist, double* row, int read, ParsedBlock& out) {
  const double bound = log_normal_bound(dist);
  for (int c = 0; c < read; ++c) {
    if (!(row[c] > kMissingMarker)) {
      row[c] = kMissing;
      continue;
    }
    if (dist.zeros && row[c] == bound) {
      row[c] = kAtBound;
      continue;
    }
    row[c] = transform_value(kScale, dist.lower_limit, row[c]);
    if (is_at_or_below_bound(row[c])) {
      out.bound_hits.emplace_back(static_cast<uint32_t>(out.months.size()),
                                  static_cast<uint32_t>(c));
    }
  }
}

// Marks missing values and transforms the others. The family's scale is looked at once per
// record, not once per value.
void transform_row(const Distribution& dist, double* row, int read, int columns, ParsedBlock& out) {
  switch (family_of(dist.mode).scale) {
    case FitScale::values:
      mark_missing(row, read);
      break;
    case FitScale::log_values:
      transform_bounded<FitScale::log_values>(dist, row, read, out);
      break;
    case FitScale::log_above_limit:
      transform_bounded<FitScale::log_above_limit>(dist, row, read, out);
      break;
  }
  for (int c = read; c < columns; ++c) row[c] = kNotRead;
}

// The bad field's text for a warning: at most kShownFieldLength bytes, control bytes as '?'.
std::string shown_field(std::string_view line, const RecordParse& parse) {
  std::string field(line.substr(parse.bad_field_begin, parse.bad_field_length));
  if (field.size() > kShownFieldLength) field = field.substr(0, kShownFieldLength - 3) + "...";
  for (char& c : field) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return field;
}

// The start of a line that is no record, for a warning: at most kShownLineLength bytes, a tab
// as \t, other control bytes as \xNN, quotes and backslashes escaped, "..." where it is cut.
std::string shown_line_start(std::string_view line) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const char c : line.substr(0, kShownLineLength)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') {
      text += "\\t";
    } else if (c == '"' || c == '\\') {
      text += {'\\', c};
    } else if (byte < 0x20 || byte == 0x7f) {
      text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    } else {
      text += c;
    }
  }
  return line.size() > kShownLineLength ? text + "..." : text;
}

std::string shown_text(std::string_view line, const RecordParse& parse) {
  if (parse.date_problem != DateProblem::none) {
    // The date's text, then (for a bad value) the value's, parted by a tab no field holds.
    std::string text(line.substr(parse.date_begin, parse.date_length));
    if (text.size() > kShownFieldLength) text = text.substr(0, kShownFieldLength - 3) + "...";
    return parse.status == RecordStatus::bad_value ? text + '\t' + shown_field(line, parse) : text;
  }
  if (parse.status == RecordStatus::bad_value) return shown_field(line, parse);
  if (parse.status == RecordStatus::not_a_record) return shown_line_start(line);
  return {};
}

// Notes what a line was: its warning (the first ones kept, the rest counted), the first line
// with extra values, and the counts of records and of lines that are none.
void note_line(ParsedBlock& out, std::string_view line, long line_index, const RecordParse& parse,
               int columns, bool has_values) {
  const bool date_problem =
      parse.date_problem != DateProblem::none && parse.status != RecordStatus::month_out_of_range;
  if ((parse.status != RecordStatus::record && parse.status != RecordStatus::blank) ||
      date_problem) {
    if (out.warnings.size() < size_t{kLineWarningsShownPerFile}) {
      out.warnings.push_back({line_index, parse, shown_text(line, parse)});
    } else {
      ++out.unshown_warnings;
    }
  }
  if (parse.extra_values > 0 && out.extra.line < 0) {
    out.extra = {line_index, columns + parse.extra_values};
  }
  if (parse.empty_fields > 0 && out.empty.line < 0) out.empty = {line_index, parse.empty_column};
  if (has_values) {
    ++out.records;
    if (parse.month == 0) ++out.month_zero;
  } else if (parse.status != RecordStatus::blank) {
    ++out.not_records;
  }
}

// What a block's lines are parsed for: the data pass notes each line and transforms the values;
// a later pass only wants the values as read.
struct BlockReading {
  const Distribution* dist;  // nullptr: values as read
  bool note_lines;
  FileLayout layout;
  bool keep_read = false;  // with a transforming mode: the values as read into `read` as well
  bool keep_logs = false;  // their logarithms into `logs`
  const std::vector<int>* order = nullptr;  // the file's columns in the first file's order
};

void clear_block(ParsedBlock& out) {
  out.months.clear();
  out.warnings.clear();
  out.bound_hits.clear();
  out.unshown_warnings = out.lines = out.records = out.month_zero = out.not_records = 0;
  out.extra = {};
  out.empty = {};
  out.dates.clear();
}

// The row's values as read, before the transform overwrites them.
void keep_log_row(ParsedBlock& out, size_t row_start, int values_read) {
  if (out.logs.size() < out.values.size()) out.logs.resize(out.values.size());
  log_each(out.values.data() + row_start, out.logs.data() + row_start,
           static_cast<size_t>(values_read));
}

void keep_read_row(ParsedBlock& out, size_t row_start, int values_read) {
  if (out.read.size() < out.values.size()) out.read.resize(out.values.size());
  std::memcpy(out.read.data() + row_start, out.values.data() + row_start,
              static_cast<size_t>(values_read) * sizeof(double));
}

// Moves the row's values from the file's columns to the first file's; a value not read is -9999
// for the moment (see mark_unread).
void reorder_row(double* row, const std::vector<int>& order, int read,
                 std::vector<double>& scratch) {
  scratch.assign(row, row + order.size());
  for (size_t c = 0; c < order.size(); ++c) {
    row[order[c]] = static_cast<int>(c) < read ? scratch[c] : kMissingMarker;
  }
}

// The values that a short record did not hold, marked as not read in their new columns.
void mark_unread(double* row, const std::vector<int>& order, int read) {
  for (size_t c = static_cast<size_t>(read); c < order.size(); ++c) row[order[c]] = kNotRead;
}

// A record of a month to pool: its row (at row_start) moved into the first file's column order,
// marked and transformed, its month and (for the data pass) its date noted.
void pool_row(const BlockReading& reading, const RecordParse& parse, size_t row_start, int columns,
              long line_index, ParsedBlock& out) {
  double* const row = out.values.data() + row_start;
  int read = parse.values_read;
  if (reading.order != nullptr) {
    reorder_row(row, *reading.order, read, out.reordered);
    read = columns;
  }
  if (reading.dist != nullptr) {
    if (reading.keep_read) keep_read_row(out, row_start, read);
    if (reading.keep_logs) keep_log_row(out, row_start, read);
    transform_row(*reading.dist, row, read, columns, out);
  } else {
    mark_missing(row, read);
    for (int c = read; c < columns; ++c) row[c] = kNotRead;
  }
  if (reading.order != nullptr) mark_unread(row, *reading.order, parse.values_read);
  out.months.push_back(static_cast<unsigned char>(parse.month));
  if (reading.note_lines) {
    out.dates.push_back({parse.year, parse.month, parse.day, parse.hour, line_index});
  }
}

void parse_lines(std::string_view block, int columns, BlockReading reading, ParsedBlock& out) {
  clear_block(out);
  out.has_read = reading.keep_read;
  out.has_logs = reading.keep_logs;
  out.rows_kept = false;
  const size_t width = static_cast<size_t>(columns);
  size_t pos = 0;
  while (pos < block.size()) {
    const char* start = block.data() + pos;
    const void* newline = std::memchr(start, '\n', block.size() - pos);
    const size_t length = newline != nullptr
                              ? static_cast<size_t>(static_cast<const char*>(newline) - start)
                              : block.size() - pos;
    const std::string_view line(start, length);
    pos += length + 1;
    const long line_index = out.lines++;

    // Rows are written in place; the buffer only grows, so no row is cleared before use.
    const size_t row_start = out.months.size() * width;
    if (out.values.size() < row_start + width) out.values.resize(2 * (row_start + width));
    double* const row = out.values.data() + row_start;
    const size_t after_line = block.size() - std::min(pos, block.size());
    const RecordParse parse = parse_record(line, columns, row, after_line, reading.layout);
    const bool has_values = parse.status == RecordStatus::record ||
                            parse.status == RecordStatus::bad_value ||
                            parse.status == RecordStatus::short_record;
    if (reading.note_lines) note_line(out, line, line_index, parse, columns, has_values);
    if (has_values && parse.month != 0)
      pool_row(reading, parse, row_start, columns, line_index, out);
  }
}

}  // namespace

void parse_block(std::string_view block, int columns, const Distribution& dist, ParsedBlock& out,
                 FileLayout layout, RowCopies copies, const std::vector<int>* order) {
  // Copies of the values as read where the fit transforms them, and of their logarithms where
  // the fit's own scale is not theirs.
  const FitScale scale = family_of(dist.mode).scale;
  parse_lines(block, columns,
              {&dist, true, layout, copies.read && scale != FitScale::values,
               copies.logs && scale != FitScale::log_values, order},
              out);
}

void parse_block_values(std::string_view block, int columns, ParsedBlock& out, FileLayout layout,
                        const std::vector<int>* order) {
  parse_lines(block, columns, {nullptr, false, layout, false, false, order}, out);
}

}  // namespace pctlfit
