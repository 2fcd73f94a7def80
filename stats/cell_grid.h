#pragma once
// Every per-cell table of a run (the statistics, the counts, the fit check's cells, the
// comparison's sums, the kept values' bounds, the sample figures) is laid out one way: a cell per
// column and month, month-major, because a record updates one month of every column and the
// cells it touches then lie side by side.

#include <cstddef>
#include <vector>

namespace pctlfit {

constexpr int kMonths = 12;

// The cells of a grid `columns` wide (none if columns < 1).
inline constexpr size_t grid_cells(int columns) {
  return columns < 1 ? 0 : static_cast<size_t>(columns) * kMonths;
}

// The index of the first cell of `month` (1..12) in a grid `columns` wide.
inline constexpr size_t month_row(size_t columns, size_t month) { return (month - 1) * columns; }

// The index of (column 1..columns, month 1..12) in a grid `columns` wide.
inline constexpr size_t cell_index(int columns, int column, int month) {
  return month_row(static_cast<size_t>(columns), static_cast<size_t>(month)) +
         static_cast<size_t>(column - 1);
}

template <typename T>
struct CellGrid {
  int columns = 0;
  std::vector<T> cells;  // kMonths * columns, month-major

  size_t index(int column, int month) const { return cell_index(columns, column, month); }
  T& at(int column, int month) { return cells[index(column, month)]; }
  const T& at(int column, int month) const { return cells[index(column, month)]; }
};

// A grid of `columns` columns and 12 months, every cell `initial` (none if columns < 1).
template <typename T>
CellGrid<T> make_grid(int columns, const T& initial = T{}) {
  CellGrid<T> grid;
  grid.columns = columns < 1 ? 0 : columns;
  grid.cells.assign(grid_cells(columns), initial);
  return grid;
}

template <typename T>
size_t cell_index(const CellGrid<T>& grid, int column, int month) {
  return grid.index(column, month);
}

}  // namespace pctlfit
