#pragma once
// The figure table beside the report: every column and month with its heading, sample size and
// the report's figures in full, as CSV that data-frame readers take without arguments.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "report/table_columns.h"
#include "stats/cell_results.h"

namespace pctlfit {

// What the table is made of: the run's results (finalised), whichever further figures they
// hold each giving columns of their own: --check-fit's counts; --sample's figures at
// `sample_levels` in columns sample_p{L}; --compare-fits' columns aic_nv, aic_ln2, aic_ln3,
// aic_gam, aic_p3, aic_lp3 and best; --fit=best's column family; --zeros' last column p0 (n counts the values at the bound, the figures are the
// mixture's); --ci's intervals last, lo_p{L} and hi_p{L} for each fitted level (5, 50, 95, then
// the extra levels), sample_lo_p{L} and sample_hi_p{L} for each sample level.
struct FigureTableInput {
  const CellResults& results;
  const Distribution& dist;
  const std::vector<std::string>& headings;  // the first file's; a column without one: empty
  // --levels: the fitted figures at these levels (in percent) in columns p{L} after the others
  std::vector<double> extra_levels = {};
  std::vector<double> sample_levels = {};  // empty where the results hold no sample figures
  bool best = false;  // --fit=best: a column `family` names each cell's family
};

// The levels of `levels` that have no column of their own (p5, p50, p95), in order.
std::vector<double> extra_levels(const std::vector<double>& levels);

// Every fitted level the table has a figure at: 5, 50, 95, then the extra levels.
std::vector<double> fitted_table_levels(const std::vector<double>& extra_levels);

// A level's column name: "p" and its shortest decimal form (p2.5, p99.9).
std::string level_column_name(double level);

// Which columns a table has beyond the fixed ones.
struct TableExtras {
  std::vector<double> extra_levels = {};
  std::vector<double> sample_levels = {};
  bool compared = false;
  bool best = false;
  bool zeros = false;
  bool fitted_intervals = false;
  bool sample_intervals = false;
};

// The header row, without its newline: the columns' names (report/table_columns.h), then those
// of the extras.
std::string figure_table_header(const TableExtras& extras = {});

// `text` as one CSV field: quoted, with its quotes doubled, when it holds a comma, a quote, a CR
// or a newline (RFC 4180); as it is otherwise.
std::string csv_field(std::string_view text);

// The shortest text that reads back to the same double; "inf", "-inf" and "nan" otherwise.
std::string shortest_double(double value);

// Writes the header row and one row per column and month (column 1 months 1..12, then column 2,
// ...). False if a write failed.
bool write_figure_table(std::FILE* out, const FigureTableInput& input);

}  // namespace pctlfit
