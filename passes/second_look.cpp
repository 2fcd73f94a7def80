#include "passes/second_look.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <numbers>

#include "input/record/missing_values.h"
#include "passes/engine/tally.h"
#include "stats/cell_fit.h"
#include "stats/log_each.h"

namespace pctlfit {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The fits the pass holds the values against, one array per parameter, cells as the table lays
// them out: a side of 0 where a cell has no such fit.
struct LookFits {
  std::vector<double> p3_bound, p3_side, lp3_bound, lp3_side, ln3_bound, ln3_mu;
  bool zeros = false;
  double zero_bound = 0;
  bool ln3 = false;  // LN3 per cell is looked at
};

// A Pearson III's sum of ln |x - bound| kept as a product of the distances: whenever a cell's
// product leaves [2^-900, 2^900] its binary exponent moves (exactly) into `exponent`, so that
// one logarithm at the end stands for all its values. The same values in the same order give
// the same bits, and the loops over a row's cells are plain multiplies the compiler runs as
// vectors. Against a sum of each value's logarithm it differs by about n units in the last
// place, 1e-12 for 10^4 values.
struct LogProducts {
  std::vector<double> product;
  std::vector<int64_t> exponent;
  std::vector<double> beyond;  // values at or beyond the bound
};

// What the pass sums per cell, in record order.
struct LookSums {
  LogProducts p3, lp3;
  std::vector<double> ln3_logs, ln3_squares;
  std::vector<uint32_t> ln3_beyond;
};

// A block's factors for one Pearson III: each value's distance from the bound (1 where it adds
// nothing: not pooled, no fit, beyond), a binary exponent split off where the distance is far
// from 1, and whether it lies beyond.
struct BlockFactors {
  std::vector<double> factor;
  std::vector<int32_t> exponent;
  std::vector<double> beyond;  // 1 or 0, a double as the factors are, so that one vector loop
                               // makes both
};

// A block's scratch, made on the worker that parsed it, summed on the block's turn.
struct BlockScratch {
  std::vector<double> ln_x;
  std::vector<double> pooled;  // 1 or 0
  BlockFactors p3, lp3;
  std::vector<double> ln3_logs, ln3_squares;
};
using SlotScratch = std::vector<BlockScratch>;

void size_factors(BlockFactors& factors, size_t size) {
  factors.factor.resize(size);
  factors.exponent.resize(size);
  factors.beyond.resize(size);
}

// The factors of one Pearson III (`side` 0: no fit) for the values of one row, `y` as the
// family reads them: first as selects the compiler runs as vectors, then the rare factor far
// from 1 split into its mantissa and binary exponent.
void place_factors(BlockFactors& out, size_t i, size_t width, const double* pooled, const double* y,
                   const double* bound, const double* side) {
  constexpr double kNear = 0x1p100;
  double* factor = out.factor.data() + i;
  double* beyond = out.beyond.data() + i;
  int32_t* exponents = out.exponent.data() + i;
  std::fill(exponents, exponents + width, 0);
  double far = 0;
  for (size_t c = 0; c < width; ++c) {
    const double distance = (y[c] - bound[c]) * side[c];
    const bool counted = (pooled[c] != 0) & (side[c] != 0);
    const bool inside = (distance > 0) & (distance < kInfinity);
    beyond[c] = (counted & !inside) ? 1.0 : 0.0;
    factor[c] = (counted & inside) ? distance : 1.0;
    far += ((factor[c] < kNear) & (factor[c] > 1 / kNear)) ? 0.0 : 1.0;
  }
  for (size_t c = 0; c < width && far > 0; ++c) {
    if (factor[c] < kNear && factor[c] > 1 / kNear) continue;
    int exponent = 0;
    factor[c] = std::frexp(factor[c], &exponent);
    exponents[c] = exponent;
  }
}

bool is_pooled(const LookFits& fits, double x) {
  return !is_not_accumulated(x) && !(fits.zeros && x == fits.zero_bound);
}

// LN3 per cell: ln(x - bound) and its squared deviation from mu, 0 where not counted.
void place_ln3(const LookFits& fits, const ParsedBlock& block, size_t width, BlockScratch& out) {
  const size_t size = block.months.size() * width;
  out.ln3_logs.resize(size);
  out.ln3_squares.resize(size);
  const double* x = block.values.data();
  for (size_t r = 0, i = 0; r < block.months.size(); ++r) {
    const size_t cells = month_row(width, block.months[r]);
    for (size_t c = 0; c < width; ++c, ++i) out.ln3_logs[i] = x[i] - fits.ln3_bound[cells + c];
  }
  log_each(out.ln3_logs.data(), out.ln3_logs.data(), size);
  for (size_t r = 0, i = 0; r < block.months.size(); ++r) {
    const size_t cells = month_row(width, block.months[r]);
    for (size_t c = 0; c < width; ++c, ++i) {
      const double d = out.ln3_logs[i] - fits.ln3_mu[cells + c];
      out.ln3_squares[i] = d * d;
    }
  }
}

// Each value's factors (LP3's from the logarithms, taken at once), on any thread.
void place_block(const LookFits& fits, const ParsedBlock& block, size_t width, BlockScratch& out) {
  const size_t size = block.months.size() * width;
  out.ln_x.resize(size);
  out.pooled.resize(size);
  size_factors(out.p3, size);
  size_factors(out.lp3, size);
  log_each(block.values.data(), out.ln_x.data(), size);
  const double* x = block.values.data();
  for (size_t i = 0; i < size; ++i) out.pooled[i] = is_pooled(fits, x[i]) ? 1.0 : 0.0;
  for (size_t r = 0; r < block.months.size(); ++r) {
    const size_t i = r * width;
    const size_t cells = month_row(width, block.months[r]);
    const double* pooled = out.pooled.data() + i;
    place_factors(out.p3, i, width, pooled, x + i, fits.p3_bound.data() + cells,
                  fits.p3_side.data() + cells);
    place_factors(out.lp3, i, width, pooled, out.ln_x.data() + i, fits.lp3_bound.data() + cells,
                  fits.lp3_side.data() + cells);
  }
  if (fits.ln3) place_ln3(fits, block, width, out);
}

// One row's factors of the columns [first, end) into their cells' products.
void multiply_row(const BlockFactors& factors, size_t row, LogProducts& sums, size_t cells,
                  size_t first, size_t end) {
  constexpr double kFar = 0x1p900;
  for (size_t c = first; c < end; ++c) {
    sums.product[cells + c] *= factors.factor[row + c];
    sums.exponent[cells + c] += factors.exponent[row + c];
    sums.beyond[cells + c] += factors.beyond[row + c];
  }
  for (size_t c = first; c < end; ++c) {
    double& product = sums.product[cells + c];
    if (product < kFar && product > 1 / kFar) continue;
    int exponent = 0;
    product = std::frexp(product, &exponent);
    sums.exponent[cells + c] += exponent;
  }
}

// LN3 per cell: one row's logarithms into the sums, where pooled; a value at or below the bound
// gives a NaN or -inf, counted as beyond.
void add_ln3_row(const BlockScratch& block, size_t row, LookSums& sums, size_t cells, size_t first,
                 size_t end) {
  for (size_t c = first; c < end; ++c) {
    if (block.pooled[row + c] == 0) continue;
    const double y = block.ln3_logs[row + c];
    if (y > -kInfinity && y < kInfinity) {
      sums.ln3_logs[cells + c] += y;
      sums.ln3_squares[cells + c] += block.ln3_squares[row + c];
    } else {
      ++sums.ln3_beyond[cells + c];
    }
  }
}

// The block's columns [first, end) into their cells' sums, in record order.
void sum_block(const LookFits& fits, const ParsedBlock& block, size_t width,
               const BlockScratch& scratch, LookSums& sums, size_t first, size_t end) {
  for (size_t r = 0; r < block.months.size(); ++r) {
    const size_t row = r * width;
    const size_t cells = month_row(width, block.months[r]);
    multiply_row(scratch.p3, row, sums.p3, cells, first, end);
    multiply_row(scratch.lp3, row, sums.lp3, cells, first, end);
    if (fits.ln3) add_ln3_row(scratch, row, sums, cells, first, end);
  }
}

Tally second_look_tally(const LookFits& fits, LookSums& sums, size_t width) {
  const auto slots = std::make_shared<SlotScratch>();
  Tally tally;
  tally.start = [slots](const PassStart& start) { slots->assign(start.slots, {}); };
  tally.parse = [slots, &fits, width](WorkItem& item) {
    place_block(fits, item.parsed, width, (*slots)[item.slot]);
  };
  tally.apply = [slots, &fits, &sums, width](const WorkItem& item, size_t first, size_t end) {
    sum_block(fits, item.parsed, width, (*slots)[item.slot], sums, first, end);
  };
  return tally;
}

LookFits look_fits(const FitComparison& comparison, const Distribution& dist) {
  const size_t cells = comparison.fits.size();
  LookFits fits;
  for (std::vector<double>* v : {&fits.p3_bound, &fits.p3_side, &fits.lp3_bound, &fits.lp3_side,
                                 &fits.ln3_bound, &fits.ln3_mu}) {
    v->assign(cells, 0.0);
  }
  fits.zeros = dist.zeros;
  fits.zero_bound = log_normal_bound(dist);
  fits.ln3 = comparison.run_mode == DistributionMode::LN3_auto;
  for (size_t cell = 0; cell < cells; ++cell) {
    const SecondLookFits& fit = comparison.fits[cell];
    if (fit.p3) fits.p3_bound[cell] = fit.p3->bound, fits.p3_side[cell] = fit.p3->side;
    if (fit.lp3) fits.lp3_bound[cell] = fit.lp3->bound, fits.lp3_side[cell] = fit.lp3->side;
    if (fit.ln3) fits.ln3_bound[cell] = fit.ln3->bound, fits.ln3_mu[cell] = fit.ln3->mu;
  }
  return fits;
}

void size_sums(LookSums& sums, size_t cells) {
  for (LogProducts* p : {&sums.p3, &sums.lp3}) {
    p->product.assign(cells, 1.0);
    p->exponent.assign(cells, 0);
    p->beyond.assign(cells, 0.0);
  }
  sums.ln3_logs.assign(cells, 0.0);
  sums.ln3_squares.assign(cells, 0.0);
  sums.ln3_beyond.assign(cells, 0);
}

double log_sum(const LogProducts& sums, size_t cell) {
  return std::log(sums.product[cell]) + double(sums.exponent[cell]) * std::numbers::ln2;
}

}  // namespace

bool prepare_second_look(FitComparison& comparison, const StatsTable& table) {
  comparison.fits.assign(table.cells.size(), {});
  bool any = false;
  for (size_t cell = 0; cell < table.cells.size(); ++cell) {
    const CellSums sums{comparison.table_scale, table.cells[cell], comparison.nv[cell],
                        comparison.ln2[cell]};
    SecondLookFits& fits = comparison.fits[cell];
    for (const DistributionMode mode : {DistributionMode::P3, DistributionMode::LP3}) {
      const CellFit fit = fit_cell(mode, sums, 0.0);
      if (!fit.fitted) continue;
      (mode == DistributionMode::P3 ? fits.p3 : fits.lp3) = pearson_likelihood_terms(fit.pearson);
    }
    if (comparison.run_mode == DistributionMode::LN3_auto) {
      const CellFit fit = fit_cell(DistributionMode::LN3_auto, sums, 0.0);
      if (fit.fitted) fits.ln3 = fit.normal;
    }
    any = any || fits.p3 || fits.lp3 || fits.ln3;
  }
  return any;
}

InputError look_again(const std::vector<std::string>& entries, const Distribution& dist,
                      FitComparison& comparison, const PassOptions& options) {
  const size_t cells = comparison.fits.size();
  const LookFits fits = look_fits(comparison, dist);
  LookSums sums;
  size_sums(sums, cells);
  const size_t width = static_cast<size_t>(comparison.columns);
  const InputError error =
      run_later_pass(entries, comparison.columns, options, {second_look_tally(fits, sums, width)});
  comparison.second.assign(cells, {});
  for (size_t cell = 0; cell < cells; ++cell) {
    SecondLook& look = comparison.second[cell];
    look.p3_logs = log_sum(sums.p3, cell);
    look.lp3_logs = log_sum(sums.lp3, cell);
    look.p3_beyond = sums.p3.beyond[cell];
    look.lp3_beyond = sums.lp3.beyond[cell];
    look.ln3_logs = sums.ln3_logs[cell];
    look.ln3_squares = sums.ln3_squares[cell];
    look.ln3_beyond = sums.ln3_beyond[cell];
  }
  return error;
}

}  // namespace pctlfit
