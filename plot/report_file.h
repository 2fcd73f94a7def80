#pragma once
// Reads a report that pctlfit wrote: the field header, the title, twelve month rows.

#include <array>
#include <string>
#include <vector>

namespace pctlfit::plot {

enum Figure { kMin = 0, kP5, kP50, kP95, kMax, kFigures };

struct ColumnFigures {
  std::array<std::array<double, kFigures>, 12> months;  // [month - 1][figure]
};

struct Report {
  std::string title;                   // the title line, without its trailing space
  std::vector<ColumnFigures> columns;  // column j at index j - 1
};

// Parses the report's text; on failure returns false and sets `error` to "FILE:LINE: what"
// (or "FILE: what").
bool parse_report(const std::string& text, const std::string& file, Report& report,
                  std::string& error);

}  // namespace pctlfit::plot
