#include "input/block_parser.h"

#include <cstring>
#include <string>

#include "stats/domain_check.h"

namespace pctlfit {

namespace {

const double kNotAccumulated = std::bit_cast<double>(kNotAccumulatedBits);

// Marks missing values (not above -9999.0, NaN included) and transforms the others. The mode
// is switched on once per record, not once per value.
void transform_row(const Distribution& dist, double* row, int read, int columns, ParsedBlock& out) {
  constexpr double kMissingMarker = -9999.0;
  switch (dist.mode) {
    case DistributionMode::NV:
      for (int c = 0; c < read; ++c) {
        if (!(row[c] > kMissingMarker)) row[c] = kNotAccumulated;
      }
      break;
    case DistributionMode::LN2:
    case DistributionMode::LN3:
      for (int c = 0; c < read; ++c) {
        if (!(row[c] > kMissingMarker)) {
          row[c] = kNotAccumulated;
          continue;
        }
        row[c] = transform_value(dist, row[c]);
        if (is_at_or_below_bound(row[c])) {
          out.bound_hits.emplace_back(static_cast<uint32_t>(out.months.size()),
                                      static_cast<uint32_t>(c));
        }
      }
      break;
  }
  for (int c = read; c < columns; ++c) row[c] = kNotAccumulated;
}

}  // namespace

void parse_block(std::string_view block, int columns, const Distribution& dist, ParsedBlock& out) {
  out.months.clear();
  out.warnings.clear();
  out.bound_hits.clear();
  out.lines = 0;
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
    const RecordParse parse = parse_record(line, columns, out.values.data() + row_start);
    const bool has_values = parse.status == RecordStatus::record ||
                            parse.status == RecordStatus::bad_value ||
                            parse.status == RecordStatus::short_record;
    if (parse.status != RecordStatus::record && parse.status != RecordStatus::blank) {
      out.warnings.push_back({line_index, parse});
    }
    if (!has_values || parse.month == 0) continue;
    transform_row(dist, out.values.data() + row_start, parse.values_read, columns, out);
    out.months.push_back(static_cast<unsigned char>(parse.month));
  }
}

void accumulate_block(const ParsedBlock& block, StatsTable& table) {
  const size_t width = static_cast<size_t>(table.columns);
  if (width == 0) return;
  const double* row = block.values.data();
  for (unsigned char month : block.months) {
    MonthStats* cells = &table_cell(table, 1, month);
    for (size_t c = 0; c < width; ++c) {
      if (!is_not_accumulated(row[c])) accumulate_value(cells[c], row[c]);
    }
    row += width;
  }
}

std::string describe_record_problem(const RecordParse& parse, int columns) {
  switch (parse.status) {
    case RecordStatus::not_a_record:
      return "not a record";
    case RecordStatus::month_out_of_range:
      return "month " + std::to_string(parse.month) + " outside 1..12";
    case RecordStatus::bad_value:
      return "value " + std::to_string(parse.values_read + 1) + " is not a number";
    case RecordStatus::short_record:
      return "only " + std::to_string(parse.values_read) + " of " + std::to_string(columns) +
             " values";
    case RecordStatus::record:
    case RecordStatus::blank:
      break;
  }
  return {};
}

}  // namespace pctlfit
