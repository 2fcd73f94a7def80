#pragma once
// --compare-fits: which family fits each column and month best, by AIC = 2k - 2 lnL. NV, LN2
// and LN3 (at a given lower limit) at their maximum-likelihood parameters in their own domain,
// with the transform's Jacobian:
//   lnL = -n/2 (ln(2 pi s2) + 1) - J,  AIC = 4 - 2 lnL,
// s2 the variance with divisor n of the transformed values, J 0 (NV), the sum of ln x (LN2) or
// of ln(x - limit) (LN3). The run's own mode reads the statistics table's sums (the ranking is
// that of its own SD); the others' run in the data pass, value by value in the table's order,
// each about the cell's first value in that domain, so that they do not cancel. The gamma's
// likelihood comes from the same sums; those of P3, LP3 and LN3 per cell (k = 3, at their
// moment estimates) need each value against the fitted location, from a second look at the
// values.

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "stats/distribution.h"
#include "stats/family_fit.h"
#include "stats/month_stats.h"

namespace pctlfit {

// The families compared, each in its place of the per-family arrays (LN3 per cell in LN3's).
inline constexpr DistributionMode kCompared[] = {DistributionMode::NV,  DistributionMode::LN2,
                                                 DistributionMode::LN3, DistributionMode::GAM,
                                                 DistributionMode::P3,  DistributionMode::LP3};
inline constexpr size_t kFitModes = std::size(kCompared);
inline constexpr size_t comparison_slot(DistributionMode mode) {
  return mode == DistributionMode::LN3_auto ? family_index(DistributionMode::LN3)
                                            : family_index(mode);
}

struct DomainSums {
  double n = 0;        // values in the domain
  double shift = 0;    // the first of them
  double about = 0;    // sum of (y - shift)
  double squares = 0;  // sum of (y - shift)^2
  double cubes = 0;    // sum of (y - shift)^3: the skew of P3, LP3 and LN3 per cell
};

// What the second look sums per cell, each at the cell's moment fit: ln |x - bound| of P3 and
// of LP3 (on ln x), ln(x - bound) and its squared deviation from mu of LN3 per cell, and how
// many values lie at or beyond each bound (a likelihood of 0).
struct SecondLook {
  double p3_logs = 0;
  double lp3_logs = 0;
  double ln3_logs = 0;
  double ln3_squares = 0;
  double p3_beyond = 0;
  double lp3_beyond = 0;
  double ln3_beyond = 0;
};

// Per cell, the moment fits the second look holds the values against (unfitted: left out).
struct SecondLookFits {
  std::optional<PearsonLikelihood> p3, lp3;
  std::optional<Ln3Fit> ln3;
};

// The further sums of every cell, laid out like the table's cells: `nv` (the values as read)
// and `ln2` (ln x of those above 0) where the run's scale is not theirs or a family needs their
// third power; the second look's sums once it has run.
struct FitComparison {
  int columns = 0;
  DistributionMode run_mode = DistributionMode::LN2;
  FitScale table_scale = FitScale::log_values;
  double lower_limit = 0;
  bool families = false;  // GAM, P3, LP3 and LN3 per cell beside NV, LN2 and LN3
  bool reported = false;  // --compare-fits: the AICs go to the table and standard error
  // The sums' squares and cubes are summed: off only where a gamma's figures alone need no
  // more than the mean of the values (its mean of ln x is the table's)
  bool moments = true;
  std::vector<DomainSums> nv, ln2;
  std::vector<SecondLookFits> fits;  // set before the second look
  std::vector<SecondLook> second;    // empty until the second look has run
};

// `families`: a family other than the run's normal needs the sums of both scales (a run of GAM
// alone, neither compared nor chosen per cell, the mean of the values only).
FitComparison allocate_comparison(int columns, const Distribution& dist, bool families,
                                  bool gamma_alone = false);

// The further sums of one cell, an empty one where the run does not keep that scale.
const DomainSums& values_sums(const FitComparison& comparison, size_t cell);
const DomainSums& log_sums(const FitComparison& comparison, size_t cell);

// Only the count and the sum about the first value: the mean, all a gamma's figures read.
inline void add_to_mean(DomainSums& sums, double y) {
  if (sums.n == 0) sums.shift = y;
  sums.n += 1;
  sums.about += y - sums.shift;
}

inline void add_to_domain(DomainSums& sums, double y) {
  if (sums.n == 0) sums.shift = y;
  const double d = y - sums.shift;
  sums.n += 1;
  sums.about += d;
  sums.squares += d * d;
  sums.cubes += d * d * d;
}

// Adds one pooled value of cell `cell`: `x` as read, `ln_x` its logarithm, to the modes that
// are not the run's.
inline void compare_value(FitComparison& comparison, size_t cell, double x, double ln_x) {
  if (!comparison.nv.empty()) add_to_domain(comparison.nv[cell], x);
  if (!comparison.ln2.empty() && x > 0) add_to_domain(comparison.ln2[cell], ln_x);
}

// Each mode's AIC of a cell whose finalised statistics are `record` (none where a value lies
// outside its domain, below three values, all values equal, or, for the moment fits, before the
// second look), and the mode with the smallest.
struct CellAic {
  std::array<std::optional<double>, kFitModes> aic;
  std::optional<DistributionMode> best;
};
CellAic cell_aic(const FitComparison& comparison, const MonthStats& record, size_t cell);

// What the comparison says of the whole table: how many months each mode wins, and the months
// where the run's mode loses by more than kNoSupport, worst first.
inline constexpr double kNoSupport = 10;
struct AicLoss {
  int column;
  int month;
  uint64_t n;
  double own;   // the run's mode's AIC
  double best;  // the winner's
  DistributionMode winner;
};
struct ComparisonSummary {
  long compared = 0;  // months where at least one mode has an AIC
  long months = 0;
  std::array<long, kFitModes> wins = {};
  // Of the compared months, those where a mode has no AIC (a value at or below its log bound):
  // neither wins nor losses, and said apart, so that a count of wins is not read as a verdict.
  std::array<long, kFitModes> not_fitted = {};
  std::vector<AicLoss> losses;
};
// Whether the run compares `mode` (one of kCompared) at all.
bool is_compared(const FitComparison& comparison, DistributionMode mode);

ComparisonSummary summarise_comparison(const FitComparison& comparison, const StatsTable& table);

}  // namespace pctlfit
