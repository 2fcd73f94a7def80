#include "run/messages.h"

#include <cstring>
#include <vector>

#include "input/header.h"
#include "passes/sample_pass.h"
#include "platform/platform.h"
#include "report/table_writer.h"
#include "stats/domain_check.h"
#include "text/warning_text.h"

namespace pctlfit {

void print_banner(std::FILE* out) {
  std::fputs("pctlfit: calculating percentiles for \n", out);
  std::fputs(
      "5%, 50% und 95% for time series of monthly values (e.g. results from sumflow)\n"
      "For each time series, a LN3-distribution is fitted to the data (with a given lower limit)\n",
      out);
  std::fputs(
      "All input-files has to have the same number of columns and the same subbasin structure\n",
      out);
}

void print_usage(std::FILE* out) {
  std::fputs("usage: pctlfit <listfilename> [NV|LN2|LN3]\n\n", out);
  std::fputs("The list file contains a list of all files, which should be processed\n", out);
  std::fputs("NV  : optionale Parameter for using Gaussian distribution \n", out);
  std::fputs("LN2 : optionale Parameter for using logarithmic Gaussian distribution (default)\n",
             out);
  std::fputs("LN3 : optionale Parameter for using Log-Gaussian distribution with an lower limit\n",
             out);
}

void print_options_help(std::FILE* out) {
  std::fputs(
      "\nOptions, anywhere on the line:\n"
      "  -l, --lower-limit=X  the lower limit for LN3, instead of the prompt; implies LN3;\n"
      "                       auto: LN3's bound fitted per column and month by moments\n"
      "      --fit=FAMILY     the figures of NV, LN2, LN3, GAM (gamma), P3 (Pearson III),\n"
      "                       LP3 (log-Pearson III), or best: per column and month the\n"
      "                       family of least AIC, named in the --table's column family\n"
      "  -o, --output=FILE    write the report to FILE instead of the name derived from the list\n"
      "      --table=FILE     also write every figure in full, with the column headings and\n"
      "                       the sample sizes, as a CSV table\n"
      "      --strict         fail with status 5 when any warning about the input was given\n"
      "      --check-fit      read the files a second time and count, per column and month,\n"
      "                       the values below the 5 % and above the 95 % line (5 % of them\n"
      "                       each for a fit that suits); name the months whose shares are\n"
      "                       implausible, and add the counts, the skewness and a misfit\n"
      "                       flag to the --table\n"
      "      --levels=LIST    the --table's fitted figures also at these levels in percent\n"
      "                       (1,10,25,50,75,90,99), each in a column p{L}\n"
      "      --sample[=METHOD]  the --table's sample percentiles of the pooled values at\n"
      "                       every level, exact (weibull by default; linear is R's and\n"
      "                       numpy's default), in columns sample_p{L}\n"
      "      --memory=SIZE    what the sample percentiles may hold (default 1G)\n"
      "      --compare-fits   the AIC of NV, LN2, GAM, P3, LP3 and (with a lower limit) LN3\n"
      "                       per column and month, on standard error and in the --table\n"
      "      --zeros          LN2, LN3, GAM, LP3: values at the bound are a probability p0 of\n"
      "                       their own, the family fitted to the values above it\n"
      "      --layout=date    data files of a comment line, a line of DATE and the headings\n"
      "                       separated by tabs, then records of a date (YYYY-MM-DD, a time\n"
      "                       may follow) and the values; the default is --layout=standard\n"
      "  -q, --quiet          no banner and no \"ready..\" on standard output\n"
      "  -h, --help           this text\n"
      "      --version        the version\n"
      "  --                   ends the options (a list file whose name begins with -)\n"
      "\nExit status: 0 report written, 1 usage, 2 an input cannot be opened or read,\n"
      "3 the column header line is too short, 4 the report cannot be opened or written,\n"
      "5 warnings about the input with --strict, 6 no value could be pooled.\n",
      out);
}

void print_help_pointer(std::FILE* out) {
  std::fputs(
      "See 'man pctlfit' or README.md for the file formats, the report and the exit statuses.\n",
      out);
}

void print_version(std::FILE* out) { std::fprintf(out, "pctlfit %s\n", PCTLFIT_VERSION); }

void print_ln3_prompt(std::FILE* out) {
  std::fputs("lower limit for LN3: ", out);
  std::fflush(out);  // the user must see the question before typing the answer
}

void print_ready(std::FILE* out) { std::fputs("ready..\n", out); }

void print_reason(std::FILE* err, const std::string& name, int error_number,
                  const std::string& reason) {
  if (error_number == 0 && reason.empty()) return;
  const std::string text = reason.empty() ? std::strerror(error_number) : reason;
  std::fprintf(err, "pctlfit: %s: %s\n", name.c_str(), text.c_str());
}

namespace {
// The message of an input failure on `out`; its status.
ExitStatus print_input_error(std::FILE* out, const InputError& error) {
  const char* name = error.path.c_str();
  switch (error.kind) {
    case InputErrorKind::none:
      return kExitOk;
    case InputErrorKind::list_cannot_open:
      std::fprintf(out, "error opening script file %s\n", name);
      return kExitInput;
    case InputErrorKind::list_names_no_file:
      std::fprintf(out, "list file %s names no data file\n", name);
      return kExitInput;
    case InputErrorKind::first_cannot_open:
      std::fprintf(out, "error opening file %s \n", name);
      return kExitInput;
    case InputErrorKind::header_too_short:
      std::fputs("'satz' falsch gelesen\n", out);
      return kExitHeaderTooShort;
    case InputErrorKind::header_too_long:
      std::fprintf(out, "column header line of %s is longer than %zu bytes (16 MiB)\n", name,
                   kLongestHeaderLine);
      return kExitHeaderTooShort;
    case InputErrorKind::list_line_too_long:
      std::fprintf(out,
                   "line %ld of list file %s names no file: its first word is longer than %zu "
                   "bytes, the longest file name this system opens\n",
                   error.line, name, longest_path_name());
      return kExitInput;
    case InputErrorKind::data_cannot_open:
      std::fprintf(out, "error opening %s \n", name);
      return kExitInput;
    case InputErrorKind::list_cannot_read:
    case InputErrorKind::first_cannot_read:
    case InputErrorKind::data_cannot_read:
      std::fprintf(out, "error reading %s \n", name);
      return kExitInput;
  }
  return kExitInput;
}
}  // namespace

ExitStatus report_input_error(std::FILE* out, std::FILE* err, const InputError& error) {
  const ExitStatus status = print_input_error(out, error);
  std::fflush(out);  // the message first, then its reason, also where both go to one place
  print_reason(err, error.path, error.error_number, error.reason);
  return status;
}

ExitStatus report_cannot_open_report(std::FILE* out, std::FILE* err, const std::string& report_name,
                                     int error_number) {
  std::fprintf(out, "error opening output file %s \n", report_name.c_str());
  std::fflush(out);
  print_reason(err, report_name, error_number);
  return kExitReport;
}

ExitStatus report_output_not_a_file(std::FILE* out, std::FILE* err, const std::string& name) {
  std::fprintf(out, "error opening output file %s \n", name.c_str());
  std::fflush(out);
  print_reason(err, name, 0, "a FIFO; the report and the table are written to files");
  return kExitReport;
}

namespace {
// "3 lines are not records" or "1 line is not a record"
std::string counted(long long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}
}  // namespace

ExitStatus report_nothing_pooled(std::FILE* out, std::FILE* err, const PassSummary& summary,
                                 uint64_t missing_values, int columns) {
  std::fputs("no value could be pooled\n", out);
  std::fflush(out);
  std::vector<std::string> why;
  if (summary.not_records > 0) {
    why.push_back(counted(summary.not_records, "line is not a record", "lines are not records"));
  }
  if (summary.month_zero > 0) {
    why.push_back(counted(summary.month_zero, "record has month 0, which is not pooled",
                          "records have month 0, which are not pooled"));
  }
  if (missing_values > 0) {
    why.push_back(
        counted(static_cast<long long>(missing_values), "value is missing", "values are missing")
            .append(" (-9999 or below, or not a number)"));
  }
  if (summary.records == 0 && summary.not_records == 0) {
    why.emplace_back("the files hold no records after their three header lines");
  }
  std::string text = "pctlfit: nothing to pool: ";
  for (size_t i = 0; i < why.size(); ++i) text.append(i > 0 ? "; " : "").append(why[i]);
  std::fprintf(err, "%s\n", text.c_str());
  if (summary.not_records > 0) {
    std::string example = "2001 1 15 0";
    for (int c = 0; c < columns && c < 3; ++c)
      example.append(" ").append(std::to_string(c + 1)).append(".5");
    std::fprintf(err,
                 "pctlfit: a record is year, month, day and hour, then one value per column (%d), "
                 "separated by blanks, such as \"%s%s\"\n",
                 columns, example.c_str(), columns > 3 ? " ..." : "");
  }
  return kExitNothingPooled;
}

ExitStatus report_report_is_input(std::FILE* out, const std::string& report_name) {
  std::fprintf(out, "output file %s is also an input file\n", report_name.c_str());
  return kExitReport;
}

ExitStatus report_table_is_report(std::FILE* out, const std::string& table_name) {
  std::fprintf(out, "output file %s is also the report\n", table_name.c_str());
  return kExitReport;
}

ExitStatus report_cannot_write_report(std::FILE* out, std::FILE* err,
                                      const std::string& report_name, int error_number) {
  std::fprintf(out, "error writing output file %s \n", report_name.c_str());
  std::fflush(out);
  print_reason(err, report_name, error_number);
  return kExitReport;
}

ExitStatus report_usage_error(std::FILE* out, const std::string& message) {
  std::fprintf(out, "%s\n", message.c_str());
  return kExitUsage;
}

std::vector<std::string> fit_check_lines(const FitCheck& check, const StatsTable& table,
                                         const std::vector<std::string>& headings) {
  const MisfitRanking ranking = rank_misfits(check, table);
  std::vector<std::string> lines{"pctlfit: fit check: " + std::to_string(ranking.misfits.size()) +
                                 " of " + std::to_string(ranking.checked) +
                                 " months outside the 99 % band of the 5 % or 95 % line\n"};
  constexpr size_t kShown = 10;
  for (size_t i = 0; i < ranking.misfits.size() && i < kShown; ++i) {
    const Misfit& m = ranking.misfits[i];
    const double n = static_cast<double>(m.n);
    char shares[128];
    std::snprintf(shares, sizeof shares,
                  "%.1f %% below the 5 %% line, %.1f %% above the 95 %% line",
                  100.0 * m.cell->below_p5 / n, 100.0 * m.cell->above_p95 / n);
    lines.push_back("pctlfit: fit check: " + column_name(m.column, headings) + ", month " +
                    std::to_string(m.month) + ": n = " + std::to_string(m.n) + ", " + shares +
                    "\n");
  }
  // The months the check could not judge, so that a clean count does not hide them.
  const long unchecked = ranking.empty + ranking.not_finite + ranking.only_zeros;
  if (unchecked > 0) {
    std::string why;
    if (ranking.not_finite > 0) {
      why = std::to_string(ranking.not_finite) +
            " without a finite fit (values at or below the log-normal bound, or not numbers)";
    }
    if (ranking.only_zeros > 0) {
      why += (why.empty() ? "" : ", ") + std::to_string(ranking.only_zeros) +
             " of values at the bound alone";
    }
    if (ranking.empty > 0) {
      why += (why.empty() ? "" : ", ") + std::to_string(ranking.empty) + " without values";
    }
    lines.push_back("pctlfit: fit check: " + std::to_string(unchecked) +
                    " months not checked: " + why + "\n");
  }
  return lines;
}

namespace {

// Each compared family's months without an AIC, and why.
std::string not_fitted_text(const FitComparison& comparison, const ComparisonSummary& summary,
                            const Distribution& dist) {
  std::string text;
  for (const DistributionMode mode : kCompared) {
    const long months = summary.not_fitted[comparison_slot(mode)];
    if (!is_compared(comparison, mode) || months == 0) continue;
    text += std::string("; ") + mode_name(mode) + " not fitted in " + std::to_string(months);
    const bool per_cell = mode == DistributionMode::LN3 && dist.mode == DistributionMode::LN3_auto;
    if (mode == DistributionMode::P3 || mode == DistributionMode::LP3) {
      text += mode == DistributionMode::P3
                  ? " (values at or beyond its moment fit's bound)"
                  : " (values at or below 0, or beyond its moment fit's bound)";
      continue;
    }
    if (!has_bound(mode) || per_cell) continue;
    char bound[64];
    std::snprintf(bound, sizeof bound, "%g", has_lower_limit(mode) ? comparison.lower_limit : 0.0);
    text += std::string(" (values at or below ") + bound +
            (dist.zeros ? ")" : "; --zeros fits the values above it)");
  }
  return text;
}

// The comparison's first line: in how many months each mode is best, and where one has no fit.
std::string comparison_summary_line(const FitComparison& comparison,
                                    const ComparisonSummary& summary, const Distribution& dist,
                                    bool zeros) {
  std::string first = "pctlfit: compare fits: AIC in " + std::to_string(summary.compared) + " of " +
                      std::to_string(summary.months) + " months; best NV in " +
                      std::to_string(summary.wins[0]) + ", LN2 in " +
                      std::to_string(summary.wins[1]);
  if (has_lower_limit(dist.mode)) {
    char limit[64];
    std::snprintf(limit, sizeof limit, "%g", comparison.lower_limit);
    first += std::string(", ") + mode_name(dist.mode) + " in " +
             std::to_string(summary.wins[family_index(dist.mode)]) + " (at the given lower limit " +
             limit + ", not fitted)";
  }
  if (comparison.families) {
    for (const DistributionMode mode :
         {DistributionMode::GAM, DistributionMode::P3, DistributionMode::LP3}) {
      first += std::string(", ") + mode_name(mode) + " in " +
               std::to_string(summary.wins[comparison_slot(mode)]);
    }
  }
  if (dist.mode == DistributionMode::LN3_auto) {
    first += ", LN3 in " + std::to_string(summary.wins[comparison_slot(dist.mode)]) +
             " (its bound per cell)";
  }
  first += not_fitted_text(comparison, summary, dist);
  if (zeros) first += "; over the values above the bound (p0 is common to all modes)";
  return first + "\n";
}

}  // namespace

std::vector<std::string> compare_fits_lines(const FitComparison& comparison,
                                            const StatsTable& table, const Distribution& dist,
                                            const std::vector<std::string>& headings, bool zeros) {
  const ComparisonSummary summary = summarise_comparison(comparison, table);
  std::vector<std::string> lines{comparison_summary_line(comparison, summary, dist, zeros)};
  if (summary.losses.empty()) return lines;
  lines.push_back("pctlfit: compare fits: " + std::string(mode_name(dist.mode)) +
                  " loses by more than 10 (essentially no support) in " +
                  std::to_string(summary.losses.size()) + " months\n");
  constexpr size_t kShown = 10;
  for (size_t i = 0; i < summary.losses.size() && i < kShown; ++i) {
    const AicLoss& loss = summary.losses[i];
    char figures[160];
    std::snprintf(figures, sizeof figures, "AIC %.1f, %s %.1f (by %.1f)", loss.own,
                  mode_name(loss.winner), loss.best, loss.own - loss.best);
    lines.push_back("pctlfit: compare fits: " + column_name(loss.column, headings) + ", month " +
                    std::to_string(loss.month) + ": n = " + std::to_string(loss.n) + ", " +
                    figures + "\n");
  }
  return lines;
}

std::string fit_check_left_out_warning(const std::string& file, const std::string& why) {
  return warning_text(file, why + "; the fit check is left out");
}

std::string no_fitted_intervals_note(const std::string& family) {
  return "pctlfit: --ci: the fitted intervals are those of NV, LN2 and LN3 at a given limit; "
         "the figures of " +
         family + " have none (the columns lo_ and hi_ stay empty)\n";
}

std::string second_look_left_out_warning(const std::string& file, const std::string& why) {
  return warning_text(file, why +
                                "; P3, LP3 and LN3 per cell are not compared (their "
                                "likelihoods need a second look at the values)");
}

void count_fit(FitTally& tally, const CellFit& fit, double values) {
  if (values == 0) return;
  ++tally.months;
  if (!fit.fitted) {
    ++tally.not_fitted;
    return;
  }
  ++tally.chosen[family_index(fit.mode)];
}

std::string fit_tally_line(const FitTally& tally, DistributionMode mode, bool best) {
  if (best) {
    std::string line = "pctlfit: best fit by AIC:";
    const char* separator = " ";
    for (const DistributionFamily& family : kFamilies) {
      const long months = tally.chosen[family_index(family.mode)];
      if (months == 0) continue;
      line += separator + std::string(family.keyword) + " in " + std::to_string(months);
      separator = ", ";
    }
    line += std::string(tally.months > tally.not_fitted ? " of " : " none of ") +
            std::to_string(tally.months) + " months";
    if (tally.not_fitted > 0) line += "; no fit in " + std::to_string(tally.not_fitted);
    return line + "\n";
  }
  if (tally.not_fitted == 0) return {};
  const char* why = mode == DistributionMode::LN3_auto
                        ? "fewer than 3 values, no spread, a skew not above 0, or a bound not "
                          "below the least value"
                    : has_bound(mode) ? "fewer than 3 values, no spread, or values at or below 0"
                                      : "fewer than 3 values or no spread";
  return "pctlfit: " + std::string(mode_name(mode)) + ": no fit in " +
         std::to_string(tally.not_fitted) + " of " + std::to_string(tally.months) + " months (" +
         why + "): flagged \"no fit\" in the table\n";
}

std::string size_text(uint64_t bytes) {
  if (bytes % (uint64_t{1} << 30) == 0) return std::to_string(bytes >> 30) + "G";
  if (bytes % (uint64_t{1} << 20) == 0) return std::to_string(bytes >> 20) + "M";
  if (bytes % (uint64_t{1} << 10) == 0) return std::to_string(bytes >> 10) + "K";
  return std::to_string(bytes);
}

std::string sample_passes_note(uint64_t values, uint64_t memory) {
  char text[256];
  std::snprintf(text, sizeof text,
                "pctlfit: sample percentiles: the %llu values need %.1f MiB, more than --memory "
                "(%.1f MiB): further passes over the files narrow them, each named on the "
                "progress line at a terminal\n",
                static_cast<unsigned long long>(values),
                double(values * kHeldValueBytes) / 1048576.0, double(memory) / 1048576.0);
  return text;
}

std::string digits_kept_note(size_t cells, const std::string& first_cell) {
  return "pctlfit: " + std::to_string(cells) + (cells == 1 ? " cell" : " cells") +
         " of large values with a small spread (" + (cells == 1 ? "" : "the first: ") + first_cell +
         "): one-pass sums would lose more than half of the SD's digits, so the mean and SD "
         "come from a second pass about the mean\n";
}

std::string digits_lost_warning(size_t cells, const std::string& file, const std::string& why) {
  return warning_text(file, why + "; " + std::to_string(cells) + (cells == 1 ? " cell" : " cells") +
                                " of large values with a small spread keep one-pass SDs, which "
                                "lose more than half of their digits");
}

ExitStatus report_strict_failure(std::FILE* out, long warnings) {
  std::fprintf(out, "%ld warnings about the input (--strict)\n", warnings);
  return kExitStrict;
}

std::string unknown_mode_warning(const std::string& word) {
  return warning_text("",
                      "unknown mode \"" + word + "\"; fitting LN2 (the modes are NV, LN2 and LN3)");
}

std::string ignored_word_warning(const std::string& word) {
  return warning_text("", "ignored: \"" + word + "\"");
}

std::string no_lower_limit_warning(const std::optional<std::string>& word) {
  const std::string what = word ? "\"" + *word + "\"" : "standard input is empty";
  return warning_text("", "no lower limit read for LN3 (" + what + "); using 0");
}

std::string report_replaced_warning(const std::string& report_name) {
  return warning_text(report_name,
                      "replaced, though it is the report of other files (-o chooses another name)");
}

std::string sample_note(const SampleMethod& method, const std::vector<double>& levels) {
  std::string list;
  for (double level : levels) list += (list.empty() ? "" : ", ") + shortest_double(level);
  const std::string type =
      method.type > 0 ? " (Hyndman and Fan type " + std::to_string(method.type) + ")" : "";
  return "pctlfit: sample percentiles: " + std::string(method.name) + type + " at " + list + " %\n";
}

std::string intervals_note(double confidence, uint64_t fitted_cells,
                           std::optional<uint64_t> sample_cells) {
  std::string text = "pctlfit: intervals at " + shortest_double(confidence) + " %: fitted in " +
                     std::to_string(fitted_cells) + " months";
  if (sample_cells) text += ", sample in " + std::to_string(*sample_cells);
  return text + "\n";
}

std::string sample_left_out_warning(const std::string& file, const std::string& why) {
  return warning_text(file, why + "; the sample percentiles are left out");
}

std::string report_placement_warning(const std::string& report_name) {
  return warning_text("", "the report is " + report_name +
                              " (the name is cut at its first point; -o chooses another)");
}

}  // namespace pctlfit
