#pragma once
// Everything run control says on the console. Scripts read these texts: keep them byte for byte.

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "passes/data_pass.h"
#include "run/exit_status.h"
#include "stats/cell_fit.h"
#include "stats/fit_check.h"
#include "stats/fit_comparison.h"
#include "stats/sample_percentile.h"

namespace pctlfit {

void print_banner(std::FILE* out);
void print_usage(std::FILE* out);
void print_options_help(std::FILE* out);
void print_help_pointer(std::FILE* out);
void print_version(std::FILE* out);
void print_ln3_prompt(std::FILE* out);
void print_ready(std::FILE* out);

// Prints the message of an input failure on `out`, its reason (if known) on `err`, and returns
// its exit status.
ExitStatus report_input_error(std::FILE* out, std::FILE* err, const InputError& error);
ExitStatus report_cannot_open_report(std::FILE* out, std::FILE* err, const std::string& report_name,
                                     int error_number);
// An output named by a FIFO: the report's opening message, and why on `err`.
ExitStatus report_output_not_a_file(std::FILE* out, std::FILE* err, const std::string& name);
ExitStatus report_report_is_input(std::FILE* out, const std::string& report_name);
ExitStatus report_table_is_report(std::FILE* out, const std::string& table_name);
ExitStatus report_cannot_write_report(std::FILE* out, std::FILE* err,
                                      const std::string& report_name, int error_number);
// A data pass that pooled no value: "no value could be pooled" on `out`, and why on `err`.
ExitStatus report_nothing_pooled(std::FILE* out, std::FILE* err, const PassSummary& summary,
                                 uint64_t missing_values, int columns);
// A usage error: its one-line message.
ExitStatus report_usage_error(std::FILE* out, const std::string& message);
// --strict: "N warnings about the input (--strict)".
ExitStatus report_strict_failure(std::FILE* out, long warnings);

// "pctlfit: NAME: REASON" with `reason`, or else the system's text for `error_number`; nothing
// when neither is known.
void print_reason(std::FILE* err, const std::string& name, int error_number,
                  const std::string& reason = "");

// --check-fit on standard error: how many checked months are misfits, then up to ten of them,
// worst first, with their column, heading, month, n and both shares, then how many months were
// not checked, and why.
std::vector<std::string> fit_check_lines(const FitCheck& check, const StatsTable& table,
                                         const std::vector<std::string>& headings);
// --compare-fits on standard error: the months each mode wins by AIC, then the months where the
// run's mode loses by more than 10, up to ten, worst first.
std::vector<std::string> compare_fits_lines(const FitComparison& comparison,
                                            const StatsTable& table, const Distribution& dist,
                                            const std::vector<std::string>& headings, bool zeros);
// The check could not be made: a file changed between the passes, or could not be read again.
std::string fit_check_left_out_warning(const std::string& file, const std::string& why);
// --ci with a family whose figures are not a normal on the table's scale: its fitted figures
// have no intervals (the sample intervals stand).
std::string no_fitted_intervals_note(const std::string& family);
// The second look could not be made: P3, LP3 and LN3 per cell go uncompared.
std::string second_look_left_out_warning(const std::string& file, const std::string& why);

// What the fits of --fit (beyond the normals) and --fit=best came to: the months with values,
// those without a fit, and the months each family gives the figures of.
struct FitTally {
  long months = 0;     // with at least one value above the bound
  long not_fitted = 0;
  std::array<long, kFamilyCount> chosen = {};
};
void count_fit(FitTally& tally, const CellFit& fit, double values);
// "pctlfit: GAM: no fit in 3 of 2400 months (...)" (nothing where every month has one), or with
// --fit=best "pctlfit: best fit by AIC: NV in 10, LN2 in ... months".
std::string fit_tally_line(const FitTally& tally, DistributionMode mode, bool best);
// A size in bytes as --memory takes it: "8M" where it is whole mebibytes, "512K", else bytes.
std::string size_text(uint64_t bytes);
// --sample's values that do not fit --memory: how much they need, and that passes follow.
std::string sample_passes_note(uint64_t values, uint64_t memory);
// Cells of large values with a small spread, whose mean and SD a second pass formed again
// about their means; the first of them named.
std::string digits_kept_note(size_t cells, const std::string& first_cell);
// The same cells where that pass could not be made: their SDs keep the one-pass figures.
std::string digits_lost_warning(size_t cells, const std::string& file, const std::string& why);

// Warnings about the command line, the prompt and the report's place, on standard error.
std::string unknown_mode_warning(const std::string& word);
// A word after the mode word, which is not read.
std::string ignored_word_warning(const std::string& word);
std::string no_lower_limit_warning(const std::optional<std::string>& word);
std::string report_placement_warning(const std::string& report_name);
// --sample's one line: the method and the levels.
std::string sample_note(const SampleMethod& method, const std::vector<double>& levels);

// --ci: "pctlfit: intervals at 90 %: fitted in N months, sample in M", the counts being the
// column-months with an interval at any level; without --sample (nullopt) no sample part.
std::string intervals_note(double confidence, uint64_t fitted_cells,
                           std::optional<uint64_t> sample_cells);
// A file that leaves the sample columns empty, and why.
std::string sample_left_out_warning(const std::string& file, const std::string& why);
// An existing report of other files that this run replaces.
std::string report_replaced_warning(const std::string& report_name);

}  // namespace pctlfit
