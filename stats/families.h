#pragma once
// The distribution families the tool fits, one row each: the mode word, the scale on which the
// family is a normal distribution, and what the report, the table, the options and the
// warnings say of it. Everything that differs between families reads this table, so a new
// family is one row here plus its fitting and quantile functions.

#include <iterator>
#include <optional>
#include <string_view>

namespace pctlfit {

// The first three are the mode words; the others are chosen by --fit (and LN3's bound per cell
// by -l auto).
enum class DistributionMode { NV = 1, LN2 = 2, LN3 = 3, GAM = 4, P3 = 5, LP3 = 6, LN3_auto = 7 };

// The scale the statistics table holds a family's values on (for NV, LN2 and LN3 the scale
// where they are normal): as read, as ln x, as ln(x - lower limit).
enum class FitScale { values, log_values, log_above_limit };

// How a family's figures come from a cell: the table's mean and SD as a normal on its scale
// (the z table's constants at the report's percentages), or a fit of its own from the cell's
// further sums, exact at every level.
enum class FitKind { normal, gamma, pearson, log_pearson, ln3_moments };

struct DistributionFamily {
  DistributionMode mode;
  const char* keyword;  // the mode word, the table's `mode` column, the warnings' name
  FitScale scale;
  const char* title;        // the report's title line, before the files' names
  const char* zeros_title;  // the same with --zeros; null where the family has no bound
  FitKind kind;
  bool mode_word;      // may stand as the mode word after the list name
  const char* option;  // its --fit word, lower case, also its aic_ column's suffix
};

inline constexpr DistributionFamily kFamilies[] = {
    {DistributionMode::NV, "NV", FitScale::values,
     "Percentiles for Gaussian distribution for monthly values from ", nullptr, FitKind::normal,
     true, "nv"},
    {DistributionMode::LN2, "LN2", FitScale::log_values,
     "Percentiles for Log-Gaussian distribution (LN2) for monthly values from",
     "Percentiles for Log-Gaussian distribution (LN2), values at 0 as a mass of their own "
     "(--zeros), for monthly values from",
     FitKind::normal, true, "ln2"},
    {DistributionMode::LN3, "LN3", FitScale::log_above_limit,
     "Percentiles for Log-Gaussian distribution (LN3) for monthly values from",
     "Percentiles for Log-Gaussian distribution (LN3), values at the lower limit as a mass of "
     "their own (--zeros), for monthly values from",
     FitKind::normal, true, "ln3"},
    // The gamma's statistics are held on ln x, as LN2's: the fit reads the mean of ln x beside
    // the mean of x, and values at or below 0 have no fit.
    {DistributionMode::GAM, "GAM", FitScale::log_values,
     "Percentiles for gamma distribution (GAM) for monthly values from",
     "Percentiles for gamma distribution (GAM), values at 0 as a mass of their own (--zeros), for "
     "monthly values from",
     FitKind::gamma, false, "gam"},
    {DistributionMode::P3, "P3", FitScale::values,
     "Percentiles for Pearson III distribution (P3) for monthly values from", nullptr,
     FitKind::pearson, false, "p3"},
    {DistributionMode::LP3, "LP3", FitScale::log_values,
     "Percentiles for log-Pearson III distribution (LP3) for monthly values from",
     "Percentiles for log-Pearson III distribution (LP3), values at 0 as a mass of their own "
     "(--zeros), for monthly values from",
     FitKind::log_pearson, false, "lp3"},
    // LN3 with its bound per cell: the statistics on the values as read, from whose moments
    // the bound, mu and sigma come.
    {DistributionMode::LN3_auto, "LN3", FitScale::values,
     "Percentiles for Log-Gaussian distribution (LN3), lower limit per column and month, for "
     "monthly values from",
     nullptr, FitKind::ln3_moments, false, "ln3"},
};

inline constexpr size_t kFamilyCount = std::size(kFamilies);

// --fit=best: each column and month takes the family with the least AIC, named in the table.
inline constexpr const char* kBestTitle =
    "Percentiles for the distribution of least AIC per column and month for monthly values from";
inline constexpr const char* kBestZerosTitle =
    "Percentiles for the distribution of least AIC per column and month, values at 0 as a mass "
    "of their own (--zeros), for monthly values from";

// The family's place in kFamilies, also the index of per-family arrays.
inline constexpr size_t family_index(DistributionMode mode) { return size_t(mode) - 1; }

inline constexpr const DistributionFamily& family_of(DistributionMode mode) {
  return kFamilies[family_index(mode)];
}

// The family whose mode word is exactly `keyword` (case matters): NV, LN2 or LN3.
std::optional<DistributionMode> family_named(std::string_view keyword);

// The family that --fit names by `word` (NV, LN2, LN3, GAM, P3, LP3; case matters); LN3 is
// the given limit's, which -l auto turns into LN3_auto.
std::optional<DistributionMode> fit_family_named(std::string_view word);

// The family's figures come from the table's mean and SD as a normal on its scale.
inline constexpr bool is_normal_fit(DistributionMode mode) {
  return family_of(mode).kind == FitKind::normal;
}

// The family's values have a bound below which it has no density (0 or the lower limit).
inline constexpr bool has_bound(DistributionMode mode) {
  return family_of(mode).scale != FitScale::values;
}

// The family's bound is the lower limit the user gives.
inline constexpr bool has_lower_limit(DistributionMode mode) {
  return family_of(mode).scale == FitScale::log_above_limit;
}

}  // namespace pctlfit
