#pragma once
// The figure table's columns, in order: the one definition that pctlfit writes its tables with
// (report/table_writer.cpp, which writes each column's cell in a switch over this enum, so that
// a column without a cell does not build) and that pctlfit-plot reads them with. A new column is
// one enumerator, its name below, and its cell in the writer.

#include <array>
#include <cstddef>
#include <string_view>

namespace pctlfit {

enum class TableColumn : size_t {
  column,             // the column's number, from 1
  heading,            // the first file's heading of it, as CSV (quoted where needed)
  month,              // 1..12
  n,                  // values pooled
  missing,            // values not above -9999, or not numbers
  at_or_below_bound,  // values at or below the log-normal bound
  mean,               // of the transformed values
  sd,                 // of the transformed values
  min,                // the figures, in the data's units, unrounded
  p5,
  p50,
  p95,
  max,
  // --check-fit; always present, empty without it, so that a reader's columns stay the same.
  below_p5,   // pooled values below p5
  above_p95,  // pooled values above p95
  skew,       // of the transformed values about the fitted mean (G1)
  misfit,     // 1 when either count lies outside the 99 % band of a true 5 % line, else 0
  // The run's fit, so that tables of several runs can be told apart.
  mode,         // NV, LN2 or LN3
  lower_limit,  // LN3's lower limit; empty in the other modes
  // How far the figures can be trusted: empty, few, no fit, misfit or ok.
  flag,
};

inline constexpr std::array<std::string_view, 20> kTableColumnNames = {
    "column", "heading", "month",       "n",   "missing", "at_or_below_bound", "mean",      "sd",
    "min",    "p5",      "p50",         "p95", "max",     "below_p5",          "above_p95", "skew",
    "misfit", "mode",    "lower_limit", "flag"};
static_assert(kTableColumnNames.size() == static_cast<size_t>(TableColumn::flag) + 1,
              "a name for every column");

inline constexpr size_t kTableColumns = kTableColumnNames.size();
// Tables written before the check's columns end after `max`, those before the mode's after
// `misfit`, those before the flag's after `lower_limit`; readers take all four.
inline constexpr size_t kTableColumnsWithoutCheck = static_cast<size_t>(TableColumn::max) + 1;
inline constexpr size_t kTableColumnsWithoutMode = static_cast<size_t>(TableColumn::misfit) + 1;
inline constexpr size_t kTableColumnsWithoutFlag =
    static_cast<size_t>(TableColumn::lower_limit) + 1;

constexpr size_t index_of(TableColumn column) { return static_cast<size_t>(column); }

}  // namespace pctlfit
