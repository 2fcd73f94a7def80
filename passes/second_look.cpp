#include "passes/second_look.h"

#include <cmath>
#include <limits>
#include <memory>

#include "input/record/missing_values.h"
#include "passes/engine/tally.h"
#include "stats/cell_fit.h"
#include "stats/log_each.h"

namespace pctlfit {

namespace {

constexpr double kNotLooked = std::numeric_limits<double>::quiet_NaN();

// A block's logarithms, one array per family looked at, value by value as the block holds them:
// made on the worker that parsed it, summed on the block's turn.
struct BlockLogs {
  std::vector<double> ln_x, p3, lp3, ln3, ln3_squares;
};
using SlotLogs = std::vector<BlockLogs>;

// What the pass needs of the run: the cells' fits and which values the data pass left out.
struct LookSetup {
  const SecondLookFits* fits;
  SecondLook* looks;
  bool zeros;
  double bound;
  bool ln3;  // LN3 per cell is looked at
};

bool pooled(const LookSetup& setup, double x) {
  return !is_not_accumulated(x) && !(setup.zeros && x == setup.bound);
}

// Each value's distance from its cell's bounds (on the side where the fit's values lie; LP3's
// from the logarithms, taken at once), and for LN3 per cell the logarithms of its distances
// with their squared deviations from mu.
void distances(const LookSetup& setup, const ParsedBlock& block, size_t width, BlockLogs& logs) {
  const size_t size = block.months.size() * width;
  for (std::vector<double>* v : {&logs.ln_x, &logs.p3, &logs.lp3, &logs.ln3}) v->resize(size);
  log_each(block.values.data(), logs.ln_x.data(), size);
  const double* x = block.values.data();
  for (size_t r = 0, i = 0; r < block.months.size(); ++r) {
    const SecondLookFits* fits = setup.fits + month_row(width, block.months[r]);
    for (size_t c = 0; c < width; ++c, ++i) {
      const SecondLookFits& fit = fits[c];
      logs.p3[i] = fit.p3 ? (x[i] - fit.p3->bound) * fit.p3->side : kNotLooked;
      logs.lp3[i] = fit.lp3 ? (logs.ln_x[i] - fit.lp3->bound) * fit.lp3->side : kNotLooked;
      logs.ln3[i] = fit.ln3 ? x[i] - fit.ln3->bound : kNotLooked;
    }
  }
  if (!setup.ln3) return;
  log_each(logs.ln3.data(), logs.ln3.data(), size);
  logs.ln3_squares.resize(size);
  for (size_t r = 0, i = 0; r < block.months.size(); ++r) {
    const SecondLookFits* fits = setup.fits + month_row(width, block.months[r]);
    for (size_t c = 0; c < width; ++c, ++i) {
      const double d = fits[c].ln3 ? logs.ln3[i] - fits[c].ln3->mu : 0.0;
      logs.ln3_squares[i] = d * d;
    }
  }
}

void add_log(double log, double& sum, double& beyond) {
  if (log > -std::numeric_limits<double>::infinity()) {
    sum += log;
  } else {
    beyond += 1;
  }
}

// A distance from a Pearson III's bound: its logarithm into the product where it is above 0
// (an infinite one, from an infinite value, makes the likelihood 0 as well).
void add_distance(double distance, LogProduct& logs, double& beyond) {
  if (distance > 0 && distance < std::numeric_limits<double>::infinity()) {
    add_log(logs, distance);
  } else {
    beyond += 1;
  }
}

// The block's columns [first, end) into their cells' sums, in record order. A cell without a
// fit gathers NaNs as values beyond, which no likelihood reads.
void sum_logs(const LookSetup& setup, const ParsedBlock& block, size_t width, const BlockLogs& logs,
              size_t first, size_t end) {
  const double* x = block.values.data();
  for (size_t r = 0; r < block.months.size(); ++r) {
    const size_t row = r * width;
    const size_t month_cells = month_row(width, block.months[r]);
    for (size_t c = first; c < end; ++c) {
      const size_t i = row + c;
      if (!pooled(setup, x[i])) continue;
      SecondLook& look = setup.looks[month_cells + c];
      add_distance(logs.p3[i], look.p3_logs, look.p3_beyond);
      add_distance(logs.lp3[i], look.lp3_logs, look.lp3_beyond);
      if (!setup.ln3) continue;
      add_log(logs.ln3[i], look.ln3_logs, look.ln3_beyond);
      look.ln3_squares += logs.ln3_squares[i];
    }
  }
}

Tally second_look_tally(const LookSetup& setup, size_t width) {
  const auto slots = std::make_shared<SlotLogs>();
  Tally tally;
  tally.start = [slots](const PassStart& start) { slots->assign(start.slots, {}); };
  tally.parse = [slots, setup, width](WorkItem& item) {
    distances(setup, item.parsed, width, (*slots)[item.slot]);
  };
  tally.apply = [slots, setup, width](const WorkItem& item, size_t first, size_t end) {
    sum_logs(setup, item.parsed, width, (*slots)[item.slot], first, end);
  };
  return tally;
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
  comparison.second.assign(comparison.fits.size(), {});
  const LookSetup setup{comparison.fits.data(), comparison.second.data(), dist.zeros,
                        log_normal_bound(dist), comparison.run_mode == DistributionMode::LN3_auto};
  const size_t width = static_cast<size_t>(comparison.columns);
  return run_later_pass(entries, comparison.columns, options, {second_look_tally(setup, width)});
}

}  // namespace pctlfit
