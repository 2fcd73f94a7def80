#include "passes/second_look.h"

#include <cmath>

#include "passes/engine/value_pass.h"
#include "stats/cell_fit.h"

namespace pctlfit {

namespace {

// ln |y - bound| on the side the Pearson III lies, into `logs`; a value at or beyond it counts
// as beyond.
void add_pearson(const PearsonLikelihood& fit, double y, double& logs, double& beyond) {
  const double distance = (y - fit.bound) * fit.side;
  if (distance > 0) {
    logs += std::log(distance);
  } else {
    beyond += 1;
  }
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

void look_at_value(const SecondLookFits& fits, SecondLook& look, double x) {
  if (fits.p3) add_pearson(*fits.p3, x, look.p3_logs, look.p3_beyond);
  if (fits.lp3) add_pearson(*fits.lp3, std::log(x), look.lp3_logs, look.lp3_beyond);
  if (fits.ln3) {
    if (x > fits.ln3->bound) {
      const double y = std::log(x - fits.ln3->bound);
      look.ln3_logs += y;
      look.ln3_squares += (y - fits.ln3->mu) * (y - fits.ln3->mu);
    } else {
      look.ln3_beyond += 1;
    }
  }
}

InputError look_again(const std::vector<std::string>& entries, const Distribution& dist,
                      FitComparison& comparison, const PassOptions& options) {
  comparison.second.assign(comparison.fits.size(), {});
  const bool zeros = dist.zeros;
  const double bound = log_normal_bound(dist);
  SecondLook* looks = comparison.second.data();
  const SecondLookFits* fits = comparison.fits.data();
  return pass_values(entries, comparison.columns, options,
                     [looks, fits, zeros, bound](size_t cell, double x) {
                       if (zeros && x == bound) return;
                       look_at_value(fits[cell], looks[cell], x);
                     });
}

}  // namespace pctlfit
