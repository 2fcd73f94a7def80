#include "report/table_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace pctlfit {

const char* const kFigureTableHeader =
    "column,heading,month,n,missing,at_or_below_bound,mean,sd,min,p5,p50,p95,max";

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string shortest_double(double value) {
  if (std::isnan(value)) return "nan";  // whatever its sign bit
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : "nan";
}

namespace {

// ",mean,sd,min,p5,p50,p95,max" of a finalised cell; empty fields for a month without values.
std::string figures(const Distribution& dist, const MonthStats& cell) {
  if (cell.count == 0) return ",,,,,,,";
  const double values[] = {cell.mean,
                           cell.std_dev,
                           month_min(dist, cell),
                           percentile(dist, cell, 5.0),
                           percentile(dist, cell, 50.0),
                           percentile(dist, cell, 95.0),
                           month_max(dist, cell)};
  std::string text;
  for (double value : values) {
    text += ',';
    text += shortest_double(value);
  }
  return text;
}

std::string row(const FigureTableInput& input, int column, int month) {
  const MonthStats& cell = table_cell(input.table, column, month);
  const size_t heading = static_cast<size_t>(column - 1);
  const size_t counted = cell_index(input.missing, column, month);
  return std::to_string(column) + "," +
         csv_field(heading < input.headings.size() ? input.headings[heading] : "") + "," +
         std::to_string(month) + "," + std::to_string(static_cast<uint64_t>(cell.count)) + "," +
         std::to_string(input.missing.counts[counted]) + "," +
         std::to_string(input.at_or_below_bound.counts[counted]) + figures(input.dist, cell) + "\n";
}

}  // namespace

bool write_figure_table(std::FILE* out, const FigureTableInput& input) {
  bool ok = std::fprintf(out, "%s\n", kFigureTableHeader) >= 0;
  for (int column = 1; column <= input.table.columns && ok; ++column) {
    for (int month = 1; month <= kMonths && ok; ++month) {
      const std::string text = row(input, column, month);
      ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    }
  }
  return ok;
}

}  // namespace pctlfit
