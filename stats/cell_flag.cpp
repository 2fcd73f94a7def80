#include "stats/cell_flag.h"

#include <cmath>

namespace pctlfit {

CellFlag cell_flag(const Distribution& dist, const MonthStats& cell, uint64_t at_or_below_bound,
                   bool misfit, uint64_t zeros, const CellFit* fit) {
  if (cell.count == 0 && zeros == 0) return CellFlag::empty;
  if (cell.count + double(zeros) < 3 || (cell.count > 0 && cell.count < 3)) return CellFlag::few;
  if (at_or_below_bound > 0) return CellFlag::no_fit;
  for (const double level : {5.0, 50.0, 95.0}) {
    if (!std::isfinite(cell_figure(dist, cell, zeros, fit, level))) return CellFlag::no_fit;
  }
  return misfit ? CellFlag::misfit : CellFlag::ok;
}

std::string_view flag_word(CellFlag flag) {
  switch (flag) {
    case CellFlag::empty:
      return "empty";
    case CellFlag::few:
      return "few";
    case CellFlag::no_fit:
      return "no fit";
    case CellFlag::misfit:
      return "misfit";
    case CellFlag::ok:
      return "ok";
  }
  return {};
}

}  // namespace pctlfit
