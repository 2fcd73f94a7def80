#pragma once
// Reads the figure table that `pctlfit --table` writes, for what the report lacks: the column
// headings and the number of values behind each month.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pctlfit::plot {

struct FigureTable {
  std::vector<std::string> headings;             // column j at index j - 1
  std::vector<std::array<uint64_t, 12>> counts;  // values pooled, [column - 1][month - 1]
  std::vector<std::array<bool, 12>> misfit;      // --check-fit found the fit implausible
  bool checked = false;                          // the table holds --check-fit's verdicts
  // pctlfit --sample: the sample 5, 50 and 95 % of each month, NaN where a month has none
  std::vector<std::array<std::array<double, 3>, 12>> sample;
  bool sampled = false;                      // the table holds sample_p5, _p50 and _p95
  std::array<size_t, 3> sample_fields = {};  // their places in a row
  // pctlfit --ci: the intervals of the fitted 5, 50 and 95 % of each month (lo, hi each), NaN
  // where an end is empty
  std::vector<std::array<std::array<double, 6>, 12>> intervals;
  bool with_intervals = false;                 // the table holds lo_p5 ... hi_p95
  std::array<size_t, 6> interval_fields = {};  // their places in a row
  // The flag of each month is "no fit": its figures are not data (values at or below the bound)
  std::vector<std::array<bool, 12>> no_fit;
  // pctlfit --compare-fits: each month's best mode ("" where none), and the run's mode
  std::vector<std::array<std::string, 12>> best;
  std::string mode;
  // pctlfit --fit=best: each month's family, the one its figures are of
  std::vector<std::array<std::string, 12>> families;
  bool with_families = false;
  size_t family_field = 0;
  bool zeros = false;  // a table of a --zeros run (it has a p0 column)
  // min, p5, p50, p95 and max of each month, unrounded; NaN where a month has none
  std::vector<std::array<std::array<double, 5>, 12>> figures;
  bool compared = false;
  size_t best_field = 0;
  size_t fields = 0;  // per row: with the check's columns or without
};

// The fields of every record of a CSV text (RFC 4180: quoted fields may hold commas, quotes and
// line ends). A final line end ends the last record; CR LF ends a record like LF.
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

// Parses the table's text; on failure returns false with `error` set to "FILE:LINE: what" (or
// "FILE: what").
bool parse_figure_table(const std::string& text, const std::string& file, FigureTable& table,
                        std::string& error);

}  // namespace pctlfit::plot
