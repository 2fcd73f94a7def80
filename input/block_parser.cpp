#include "input/block_parser.h"

#include <algorithm>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "input/warnings.h"
#include "stats/domain_check.h"

namespace pctlfit {

namespace {

const double kNotRead = std::bit_cast<double>(kNotReadBits);
const double kMissing = std::bit_cast<double>(kMissingBits);

constexpr double kMissingMarker = -9999.0;

// Marks the values that are not above -9999.0 (NaN included) as missing; two at a time where
// the build can, as a select without a branch.
void mark_missing(double* row, int count) {
  int c = 0;
#if defined(__SSE2__)
  const __m128d marker = _mm_set1_pd(kMissingMarker);
  const __m128d missing = _mm_set1_pd(kMissing);
  for (; c + 2 <= count; c += 2) {
    const __m128d value = _mm_loadu_pd(row + c);
    const __m128d kept = _mm_cmpgt_pd(value, marker);  // false for NaN
    _mm_storeu_pd(row + c, _mm_or_pd(_mm_and_pd(kept, value), _mm_andnot_pd(kept, missing)));
  }
#endif
  for (; c < count; ++c) {
    if (!(row[c] > kMissingMarker)) row[c] = kMissing;
  }
}

// Marks missing values and transforms the others. The mode is switched on once per record, not
// once per value.
void transform_row(const Distribution& dist, double* row, int read, int columns, ParsedBlock& out) {
  switch (dist.mode) {
    case DistributionMode::NV:
      mark_missing(row, read);
      break;
    case DistributionMode::LN2:
    case DistributionMode::LN3:
      for (int c = 0; c < read; ++c) {
        if (!(row[c] > kMissingMarker)) {
          row[c] = kMissing;
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
  for (int c = read; c < columns; ++c) row[c] = kNotRead;
}

// The bad field's text for a warning: at most kShownFieldLength bytes, control bytes as '?'.
std::string shown_field(std::string_view line, const RecordParse& parse) {
  if (parse.status != RecordStatus::bad_value) return {};
  std::string field(line.substr(parse.bad_field_begin, parse.bad_field_length));
  if (field.size() > kShownFieldLength) field = field.substr(0, kShownFieldLength - 3) + "...";
  for (char& c : field) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return field;
}

// Notes what a line was: its warning (the first ones kept, the rest counted), the first line
// with extra values, and the counts of records and of lines that are none.
void note_line(ParsedBlock& out, std::string_view line, long line_index, const RecordParse& parse,
               int columns, bool has_values) {
  if (parse.status != RecordStatus::record && parse.status != RecordStatus::blank) {
    if (out.warnings.size() < size_t{kLineWarningsShownPerFile}) {
      out.warnings.push_back({line_index, parse, shown_field(line, parse)});
    } else {
      ++out.unshown_warnings;
    }
  }
  if (parse.extra_values > 0 && out.extra.line < 0) {
    out.extra = {line_index, columns + parse.extra_values};
  }
  if (has_values) {
    ++out.records;
    if (parse.month == 0) ++out.month_zero;
  } else if (parse.status != RecordStatus::blank) {
    ++out.not_records;
  }
}
}  // namespace

void parse_block(std::string_view block, int columns, const Distribution& dist, ParsedBlock& out) {
  out.months.clear();
  out.warnings.clear();
  out.bound_hits.clear();
  out.unshown_warnings = out.lines = out.records = out.month_zero = out.not_records = 0;
  out.extra = {};
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
    const size_t after_line = block.size() - std::min(pos, block.size());
    const RecordParse parse =
        parse_record(line, columns, out.values.data() + row_start, after_line);
    const bool has_values = parse.status == RecordStatus::record ||
                            parse.status == RecordStatus::bad_value ||
                            parse.status == RecordStatus::short_record;
    note_line(out, line, line_index, parse, columns, has_values);
    if (!has_values || parse.month == 0) continue;
    transform_row(dist, out.values.data() + row_start, parse.values_read, columns, out);
    out.months.push_back(static_cast<unsigned char>(parse.month));
  }
}

void accumulate_block(const ParsedBlock& block, StatsTable& table, CellCounts& missing) {
  const size_t width = static_cast<size_t>(table.columns);
  if (width == 0) return;
  const double* row = block.values.data();
  for (unsigned char month : block.months) {
    MonthStats* cells = &table_cell(table, 1, month);
    uint32_t* missing_in_month = &missing.counts[cell_index(missing, 1, month)];
    for (size_t c = 0; c < width; ++c) {
      if (!is_not_accumulated(row[c])) {
        accumulate_value(cells[c], row[c]);
      } else if (std::bit_cast<uint64_t>(row[c]) == kMissingBits) {
        ++missing_in_month[c];
      }
    }
    row += width;
  }
}

}  // namespace pctlfit
