#include "run/run.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <unordered_map>

#include "input/header.h"
#include "input/list_file.h"
#include "input/record/readings.h"
#include "input/warnings.h"
#include "passes/check_pass.h"
#include "passes/comparison_tally.h"
#include "passes/data_pass.h"
#include "passes/kept/kept_tally.h"
#include "passes/sample_pass.h"
#include "passes/second_look.h"
#include "passes/shift_pass.h"
#include "platform/platform.h"
#include "report/report_writer.h"
#include "report/table_writer.h"
#include "run/exit_status.h"
#include "run/hints.h"
#include "run/messages.h"
#include "run/options.h"
#include "run/output_files.h"
#include "run/progress.h"
#include "stats/domain_check.h"
#include "stats/fitted_intervals.h"
#include "text/c_locale.h"
#include "text/warning_text.h"

namespace pctlfit {

DistributionMode select_mode(const std::optional<std::string>& keyword) {
  return keyword ? family_named(*keyword).value_or(DistributionMode::LN2) : DistributionMode::LN2;
}

int thread_count(const char* env_value, unsigned hardware_threads) {
  if (env_value != nullptr) {
    char* end = nullptr;
    const long wanted = std::strtol(env_value, &end, 10);
    if (end != env_value && *end == '\0' && wanted >= 1) return wanted > 256 ? 256 : int(wanted);
  }
  return hardware_threads == 0 ? 1 : static_cast<int>(hardware_threads);
}

namespace {

// The first word on standard input, as the prompt's answer; nullopt when there is none.
std::optional<std::string> read_word(std::FILE* in) {
  constexpr size_t kLongestWord = 4096;
  int c;
  do {
    c = std::fgetc(in);
  } while (c != EOF && is_c_space(static_cast<char>(c)));
  if (c == EOF) return std::nullopt;
  std::string word;
  for (; c != EOF && !is_c_space(static_cast<char>(c)) && word.size() < kLongestWord;
       c = std::fgetc(in)) {
    word += static_cast<char>(c);
  }
  return word;
}

void warn(RunContext& context, const std::string& text) {
  std::fputs(text.c_str(), context.console.err);
  ++context.input_warnings;
}

// Asks for the LN3 lower limit: 0 with a warning where no number at all can be read (an empty
// standard input, a word), as the prompt always did. An answer that starts as a number but is
// not wholly a finite one (0,5, 1e400, nan, inf) is refused as -l refuses it: run with a limit
// of 0, or of part of it, its figures would look right and be wrong. False on such a refusal.
bool read_lower_limit(RunContext& context, ExitStatus& status) {
  print_ln3_prompt(context.console.out);
  const std::optional<std::string> word = read_word(context.console.in);
  const bool starts_as_number = word && starts_with_number(*word);
  const std::optional<double> limit = word ? parse_whole_number(*word) : std::nullopt;
  context.distribution.lower_limit = 0.0;
  if (limit && std::isfinite(*limit)) {
    context.distribution.lower_limit = *limit;
  } else if (starts_as_number) {
    status = report_usage_error(context.console.out,
                                "pctlfit: lower limit \"" + *word + "\" is not a number");
    return false;
  } else {
    warn(context, no_lower_limit_warning(word));
  }
  return true;
}

// --fit and -l auto: the family of the figures, where it is not the mode word's. False with
// `status` set on a usage error.
bool choose_fit_family(const Options& options, RunContext& context, ExitStatus& status) {
  Distribution& dist = context.distribution;
  const std::optional<DistributionMode> fit =
      options.fit ? fit_family_named(*options.fit) : std::nullopt;
  const bool wants_ln3 = !fit || *fit == DistributionMode::LN3;
  if (options.lower_limit_per_cell) {
    std::string why;
    if (!wants_ln3) why = "-l auto is for LN3, but --fit is " + *options.fit;
    if (options.mode_word && dist.mode != DistributionMode::LN3 && !fit) {
      why = "-l auto is for LN3, but the mode word is " + *options.mode_word;
    }
    if (options.zeros) why = "--zeros with -l auto: the bound per cell lies below every value";
    if (!why.empty()) {
      status = report_usage_error(context.console.out, "pctlfit: " + why);
      return false;
    }
    dist.mode = DistributionMode::LN3_auto;
  } else if (fit) {
    if (options.lower_limit && *fit != DistributionMode::LN3) {
      status = report_usage_error(
          context.console.out, "pctlfit: --lower-limit is for LN3, but --fit is " + *options.fit);
      return false;
    }
    dist.mode = *fit;
  }
  return true;
}

// The mode word and the lower limit, from the options, the word after the list name and the
// prompt. False with `status` set on a usage error.
bool choose_distribution(const Options& options, RunContext& context, ExitStatus& status) {
  Distribution& dist = context.distribution;
  dist.mode = select_mode(options.mode_word);
  if (options.mode_word && !family_named(*options.mode_word)) {
    warn(context, unknown_mode_warning(*options.mode_word));
  }
  const DistributionMode with_limit = DistributionMode::LN3;  // the family -l implies
  if (options.lower_limit) {
    if (options.mode_word && !has_lower_limit(dist.mode) && !options.fit) {
      status = report_usage_error(
          context.console.out,
          "pctlfit: --lower-limit is for LN3, but the mode word is " + *options.mode_word);
      return false;
    }
    dist.mode = with_limit;
    dist.lower_limit = *options.lower_limit;
  }
  if (!choose_fit_family(options, context, status)) return false;
  if (!options.lower_limit && has_lower_limit(dist.mode) && !read_lower_limit(context, status)) {
    return false;
  }
  if (options.zeros && !has_bound(dist.mode)) {
    const std::string text = is_normal_fit(dist.mode)
                                 ? "pctlfit: --zeros is for LN2 and LN3, but the mode is NV"
                                 : std::string(
                                       "pctlfit: --zeros is for LN2, LN3, GAM and LP3, "
                                       "but the family is ") +
                                       mode_name(dist.mode);
    status = report_usage_error(context.console.out, text);
    return false;
  }
  dist.zeros = options.zeros;
  return true;
}

// Names each data file that the list names again (by file identity, so "./a.dat" is "a.dat").
void warn_listed_again(RunContext& context) {
  std::unordered_map<std::string, size_t> first_listed;
  for (size_t i = 0; i < context.entries.size(); ++i) {
    const auto [first, inserted] = first_listed.emplace(file_key(context.entries[i]), i);
    if (inserted) continue;
    warn(context, warning_text(at_line(context.list_name, context.entry_lines[i]),
                               context.entries[i] + " is listed again (first on line " +
                                   std::to_string(context.entry_lines[first->second]) + ")"));
  }
}

// The failure's message and reason, then a hint where a slip is likely.
ExitStatus fail_input(const RunContext& context, const InputError& error) {
  const ExitStatus status = report_input_error(context.console.out, context.console.err, error);
  std::string hint;
  if (error.kind == InputErrorKind::list_cannot_open) hint = list_file_hint(error.path);
  if (error.kind == InputErrorKind::first_cannot_open ||
      error.kind == InputErrorKind::data_cannot_open) {
    hint = beside_the_list_hint(context.list_name, error.path);
  }
  std::fputs(hint.c_str(), context.console.err);
  return status;
}

bool pooled_any(const StatsTable& table, const std::optional<CellCounts>& zeros) {
  for (const MonthStats& cell : table.cells) {
    if (cell.count > 0) return true;
  }
  if (zeros) {
    for (const uint32_t count : zeros->cells) {
      if (count > 0) return true;
    }
  }
  return false;
}

uint64_t total(const CellCounts& counts) {
  uint64_t sum = 0;
  for (const uint32_t count : counts.cells) sum += count;
  return sum;
}

// The data pass's options: the run's counts and kept values to fill, the threads and layout.
DataPassOptions data_pass_options(RunContext& context, PassSummary& summary) {
  DataPassOptions options;
  options.pass.threads = context.threads;
  options.pass.layout = context.layout;
  options.pass.headings = &context.headings;
  options.headings = &context.headings;
  options.bound_counts = &context.results.at_or_below_bound;
  options.missing_counts = &context.results.missing;
  options.summary = &summary;
  options.zero_counts = zero_counts(context.results);
  if (context.kept) options.tallies.push_back(kept_tally(*context.kept));
  if (context.results.comparison) {
    options.tallies.push_back(comparison_tally(*context.results.comparison));
  }
  return options;
}

// After the data pass: the warnings about figures that come out non-finite or zero, and about
// a normal fit below 0.
void warn_about_figures(const RunContext& context) {
  for (const std::string& line :
       domain_warnings(context.results.table, context.results.at_or_below_bound,
                       context.distribution, context.headings, 20, zero_counts(context.results))) {
    std::fputs(line.c_str(), context.console.err);
  }
  // Negative discharges from a normal fit are a choice of mode, not a fault of the input:
  // --strict does not count them.
  for (const std::string& line :
       negative_fit_warnings(context.results.table, context.distribution, context.headings)) {
    std::fputs(line.c_str(), context.console.err);
  }
}

// The data pass, with a progress line for a person at a terminal and, afterwards, the warnings
// about its figures. A pass that pools nothing ends the run: its figures would be a report of
// "inf" that looks like a result.
ExitStatus read_all_data(RunContext& context) {
  WarningSink warnings;
  warnings.out = context.console.err;
  PassSummary summary;
  DataPassOptions options = data_pass_options(context, summary);
  ProgressLine& progress = context.progress;
  if (context.entries.size() > 1 && is_terminal(context.console.err)) {
    progress.out = context.console.err;
    progress.erase = erase_line_sequence(context.console.err);
    options.progress = [&progress](const PassProgress& done) { update_progress(progress, done); };
    warnings.prefix = progress.erase;  // a warning takes the progress line's place
  }
  const InputError error = read_data_files(context.entries, context.distribution,
                                           context.results.table, warnings, options);
  clear_progress(progress);
  context.input_warnings += warnings.total;
  if (failed(error)) return fail_input(context, error);
  if (!pooled_any(context.results.table, context.results.zeros)) {
    return report_nothing_pooled(context.console.out, context.console.err, summary,
                                 total(context.results.missing), context.column_count);
  }
  warn_about_figures(context);
  return kExitOk;
}

// --check-fit and --sample may read the files again, which a pipe cannot be: refused before
// the run rather than found empty (or waited on for ever) in its second pass. False if so.
bool refuse_pipes_read_twice(const RunContext& context, const Options& options,
                             ExitStatus& status) {
  if (!options.check_fit && !options.sample) return true;
  for (const std::string& entry : context.entries) {
    if (file_kind(entry) != FileKind::fifo) continue;
    const char* option = options.check_fit ? "--check-fit" : "--sample";
    status = report_usage_error(context.console.out,
                                std::string("pctlfit: ") + option + " reads the files again, but " +
                                    entry + " is a pipe, read once: save it to a file first");
    return false;
  }
  return true;
}

// --version, usage errors, no list file and --help end the run before it starts; true if so.
bool ends_before_the_run(const std::vector<std::string>& args, Options& options,
                         const Console& console, ExitStatus& status) {
  status = kExitOk;
  std::string error;
  const bool parsed = parse_options(args, options, error);
  if (parsed && options.version) {
    print_version(console.out);
    return true;
  }
  if (!options.quiet) print_banner(console.out);
  if (!parsed) {
    status = report_usage_error(console.out, error);
    return true;
  }
  if (options.help) {
    print_usage(console.out);
    print_options_help(console.out);
    print_help_pointer(console.out);
    return true;
  }
  if (!options.list_name) {
    print_usage(console.out);
    status = kExitUsage;
    return true;
  }
  return false;
}

// A file's stamp, if it has one.
std::optional<FileStamp> stamp_of(const std::string& path) {
  FileStamp stamp;
  return file_stamp(path, stamp) ? std::optional<FileStamp>(stamp) : std::nullopt;
}

// Each file's stamp, to tell after the check's pass whether it changed in between.
void stamp_files(RunContext& context) {
  context.stamps.clear();
  for (const std::string& entry : context.entries) context.stamps.push_back(stamp_of(entry));
}

// The first file whose stamp differs from the one taken before the data pass; null if none.
const std::string* changed_file(const RunContext& context) {
  for (size_t i = 0; i < context.entries.size(); ++i) {
    if (stamp_of(context.entries[i]) != context.stamps[i]) return &context.entries[i];
  }
  return nullptr;
}

// A later pass over the files reads them as the data pass did, on the progress line by its name.
PassOptions later_pass_options(RunContext& context, const char* name) {
  PassOptions options;
  options.threads = context.threads;
  options.layout = context.layout;
  options.headings = &context.headings;
  options.pass_name = name;
  if (context.progress.out != nullptr) {
    ProgressLine& line = context.progress;
    options.progress = [&line](const PassProgress& done) { update_progress(line, done); };
  }
  return options;
}

// Why a later pass's figures are left out: a file that could not be read again, or one that
// changed since the data pass (`changed` says so); nullopt when neither.
struct LeftOut {
  std::string file;
  std::string why;
};
// A listed file that is no longer a regular file (replaced by a FIFO, a device, or removed)
// before a later pass: its opening could wait for ever, so the pass does not start.
std::optional<LeftOut> no_longer_regular(const RunContext& context) {
  for (const std::string& entry : context.entries) {
    if (file_kind(entry) != FileKind::regular) {
      return LeftOut{entry, "is no longer the regular file the data pass read"};
    }
  }
  return std::nullopt;
}

// A pass that only adds to the figures does not read the listed files again where one is a
// pipe (read once: the last such named) or is no longer the regular file the data pass read.
std::optional<LeftOut> cannot_read_again(const RunContext& context) {
  std::optional<LeftOut> pipe;
  for (const std::string& entry : context.entries) {
    if (file_kind(entry) == FileKind::fifo) pipe = LeftOut{entry, "a pipe, read once"};
  }
  return pipe ? pipe : no_longer_regular(context);
}

std::optional<LeftOut> later_pass_left_out(const RunContext& context, const InputError& error,
                                           const char* changed) {
  if (failed(error)) return LeftOut{error.path, "cannot be read again"};
  if (const std::string* file = changed_file(context)) return LeftOut{*file, changed};
  return std::nullopt;
}

// The name of the first cell that `cells` holds, as "column 3 (SB3), month 1".
std::string first_cell_name(const RunContext& context, const ShiftedCells& cells) {
  size_t i = 0;
  while (cells.slot[i] < 0) ++i;
  const size_t columns = static_cast<size_t>(context.column_count);
  const size_t column = i % columns;
  const std::string heading = column < context.headings.size() && !context.headings[column].empty()
                                  ? " (" + context.headings[column] + ")"
                                  : "";
  return "column " + std::to_string(column + 1) + heading + ", month " +
         std::to_string(i / columns + 1);
}

// Cells whose one-pass sums lose more than half of the SD's digits get their mean and SD from a
// pass that sums their values about their one-pass means; every other cell keeps its figures
// bit for bit, and a run without such cells reads nothing more.
void keep_digits(RunContext& context) {
  ShiftedCells cells = find_cells_losing_digits(context.results.table);
  if (cells.sums.empty()) return;
  std::optional<LeftOut> left_out = cannot_read_again(context);
  if (!left_out) {
    const InputError error =
        shift_data_files(context.entries, context.column_count, context.distribution, cells,
                         later_pass_options(context, "digits pass"));
    clear_progress(context.progress);
    left_out = later_pass_left_out(context, error, "changed between the passes");
  }
  if (!left_out && !finalize_shifted(cells, context.results.table))
    left_out = LeftOut{context.list_name, "a listed file changed between the passes"};
  if (left_out) {
    std::fputs(digits_lost_warning(cells.sums.size(), left_out->file, left_out->why).c_str(),
               context.console.err);
    return;
  }
  std::fputs(digits_kept_note(cells.sums.size(), first_cell_name(context, cells)).c_str(),
             context.console.err);
}

// --check-fit: a second pass holds every finite fit against its own values. What it finds goes
// to standard error and the figure table; a file that cannot be read again or changed in
// between leaves the check out, with a warning, and the run goes on as without it.
void check_fit(RunContext& context) {
  const CellResults& results = context.results;
  FitCheck check = prepare_fit_check(results.table, context.distribution, zero_counts(results),
                                     results.fits ? &*results.fits : nullptr);
  std::optional<LeftOut> left_out = no_longer_regular(context);
  if (!left_out) {
    const InputError error = check_data_files(context.entries, context.distribution, check,
                                              later_pass_options(context, "fit check pass"));
    clear_progress(context.progress);
    left_out = later_pass_left_out(context, error, "changed between the two passes");
  }
  // Other counts than the data pass's under the same stamps: some file was rewritten in place.
  if (!left_out && !counts_match(check, context.results.table))
    left_out = LeftOut{context.list_name, "a listed file changed between the two passes"};
  if (left_out) {
    std::fputs(fit_check_left_out_warning(left_out->file, left_out->why).c_str(),
               context.console.err);
    return;
  }
  for (const std::string& line : fit_check_lines(check, context.results.table, context.headings)) {
    std::fputs(line.c_str(), context.console.err);
  }
  context.results.fit_check = std::move(check);
}

// --compare-fits and --fit=best: a second look at the values gives the moment fits' (P3, LP3,
// LN3 per cell) likelihoods. Where the files cannot be read again (a pipe, a file replaced or
// changed), those families go uncompared, with a warning, and the run goes on.
void look_at_values_again(RunContext& context) {
  FitComparison& comparison = *context.results.comparison;
  if (!prepare_second_look(comparison, context.results.table)) return;
  std::optional<LeftOut> left_out = cannot_read_again(context);
  if (!left_out) {
    const InputError error = look_again(context.entries, context.distribution, comparison,
                                        later_pass_options(context, "likelihood pass"));
    clear_progress(context.progress);
    left_out = later_pass_left_out(context, error, "changed between the passes");
  }
  if (left_out) {
    comparison.second.clear();
    std::fputs(second_look_left_out_warning(left_out->file, left_out->why).c_str(),
               context.console.err);
  }
}

// --fit of a family beyond the normals, or --fit=best: each cell's fit that gives its figures,
// and a line that says in how many months there is none (or which family each month takes).
void fit_families(RunContext& context, const Options& options) {
  const CellResults& results = context.results;
  const FitComparison& comparison = *results.comparison;
  const Distribution& dist = context.distribution;
  std::vector<CellFit> fits(results.table.cells.size());
  FitTally tally;
  for (size_t cell = 0; cell < fits.size(); ++cell) {
    const MonthStats& record = results.table.cells[cell];
    DistributionMode mode = dist.mode;
    if (options.fit_best) mode = cell_aic(comparison, record, cell).best.value_or(mode);
    const CellSums sums{comparison.table_scale, record, values_sums(comparison, cell),
                        log_sums(comparison, cell)};
    fits[cell] = fit_cell(mode, sums, dist.lower_limit);
    count_fit(tally, fits[cell], record.count);
  }
  std::fputs(fit_tally_line(tally, dist.mode, options.fit_best).c_str(), context.console.err);
  context.results.fits = std::move(fits);
}

// --memory shared out between --sample's bookkeeping and its values.
SampleBudget sample_budget(const RunContext& context, const Options& options) {
  return plan_sample_budget(options.memory, grid_cells(context.column_count),
                            options.levels.size() * rank_sets_per_level(options.ci.has_value()));
}

// --sample whose bookkeeping alone would not fit --memory: refused before the data pass, with
// the least budget that leaves the values 1 MiB. False if so.
bool sample_budget_fits(const RunContext& context, const Options& options, ExitStatus& status) {
  if (!options.sample || !options.table) return true;
  const SampleBudget budget = sample_budget(context, options);
  if (budget.fits()) return true;
  const uint64_t least = (budget.bookkeeping >> 20) + 2;  // in MiB, the values' 1 MiB among it
  status = report_usage_error(
      context.console.out,
      "pctlfit: --memory=" + size_text(options.memory) + " is below the " + std::to_string(least) +
          "M that " + std::to_string(context.column_count) + " columns x 12 months x " +
          std::to_string(options.levels.size()) + " levels" +
          (options.ci ? " and their intervals" : "") + " need for one pass of --sample");
  return false;
}

// --sample: the exact sample percentiles of every cell for the figure table, with a note of the
// method and levels on standard error; a file that cannot be read again or changed in between
// leaves the sample columns empty, with a warning, and the run goes on.
void sample_percentiles(RunContext& context, const Options& options) {
  std::fputs(sample_note(*options.sample, context.levels).c_str(), context.console.err);
  // Where the values do not fit the budget, further passes narrow them: said before they run,
  // so that a silent terminal is not taken for a hang.
  uint64_t values = 0;
  for (const MonthStats& cell : context.results.table.cells) values += uint64_t(cell.count);
  if (context.results.zeros) values += total(*context.results.zeros);
  const bool kept = context.kept && !context.kept->given_up.load();
  if (!kept && values > sample_budget(context, options).held_values()) {
    std::fputs(sample_passes_note(values, options.memory).c_str(), context.console.err);
  }
  if (const std::optional<LeftOut> replaced = kept ? std::nullopt : no_longer_regular(context)) {
    std::fputs(sample_left_out_warning(replaced->file, replaced->why).c_str(), context.console.err);
    context.kept.reset();
    return;
  }
  SampleFigures figures;
  SampleRequest request{*options.sample, context.levels, sample_budget(context, options).values(),
                        zero_counts(context.results)};
  if (options.ci) request.confidence = *options.ci / 100;
  const InputError error =
      sample_data_files(context.entries, context.results.table, request,
                        later_pass_options(context, "sample pass"), figures, context.kept.get());
  clear_progress(context.progress);
  context.kept.reset();
  std::optional<LeftOut> left_out;
  if (figures.passes > 0)
    left_out = later_pass_left_out(context, error, "changed between the passes");
  // Other counts than the data pass's under the same stamps: some file was rewritten in place.
  if (!left_out && figures.changed)
    left_out = LeftOut{context.list_name, "a listed file changed between the passes"};
  if (left_out) {
    std::fputs(sample_left_out_warning(left_out->file, left_out->why).c_str(), context.console.err);
    return;
  }
  context.results.sample = std::move(figures.figures);
  if (options.ci) context.results.sample_intervals = std::move(figures.intervals);
}

// --ci: the intervals of the fitted figures at the table's levels, and the line that says how
// many months have them (and, with --sample, sample intervals).
void fit_intervals(RunContext& context, const Options& options) {
  const std::vector<double> levels = fitted_table_levels(extra_levels(context.levels));
  if (context.results.fits) {
    // The noncentral t's intervals are those of a normal on the table's scale: a family fitted
    // otherwise (or chosen per cell) has none, and says so.
    context.results.fitted_intervals =
        std::vector<IntervalEnds>(context.results.table.cells.size() * levels.size(),
                                  IntervalEnds{std::nan(""), std::nan("")});
    std::fputs(no_fitted_intervals_note(options.fit_best ? "--fit=best"
                                                         : mode_name(context.distribution.mode))
                   .c_str(),
               context.console.err);
    return;
  }
  const FittedIntervalRequest request{levels, *options.ci / 100, zero_counts(context.results),
                                      context.threads};
  context.results.fitted_intervals =
      fitted_intervals(context.results.table, context.distribution, request);
}

void note_intervals(const RunContext& context, const Options& options) {
  const CellResults& results = context.results;
  const uint64_t fitted = cells_with_intervals(
      *results.fitted_intervals, fitted_table_levels(extra_levels(context.levels)).size());
  std::optional<uint64_t> sample;
  if (options.sample) {
    sample = results.sample_intervals
                 ? cells_with_intervals(*results.sample_intervals, context.levels.size())
                 : 0;
  }
  std::fputs(intervals_note(*options.ci, fitted, sample).c_str(), context.console.err);
}

// The month rows, the figure table (if asked for) and the closing of both; the first file not
// written whole, if any.
std::optional<WriteFailure> write_figures(RunContext& context) {
  const bool rows_written =
      write_month_rows(context.report.get(), context.results, context.distribution);
  std::optional<WriteFailure> failure =
      finish_output(context.report, context.report_name, rows_written ? 0 : errno);
  if (failure || !context.table_file) return failure;
  const FigureTableInput input{context.results,
                               context.distribution,
                               context.headings,
                               extra_levels(context.levels),
                               context.results.sample ? context.levels : std::vector<double>{},
                               context.fit_best};
  const bool table_written = write_figure_table(context.table_file.get(), input);
  return finish_output(context.table_file, context.table_name, table_written ? 0 : errno);
}

// The figures written and closed, then both outputs put in place: neither replaces its previous
// file unless both were written whole.
std::optional<WriteFailure> write_and_commit(RunContext& context) {
  const std::optional<WriteFailure> failure = write_figures(context);
  return failure ? failure : commit_outputs(context);
}

// The column count and headings from the first file (a pipe is left open for the data pass),
// and the hint its label may need. False with `status` set on a failure.
bool read_columns(RunContext& context, ExitStatus& status) {
  std::string label;
  OpenedFirstFile pipe;
  const InputError error = count_columns(context.list_name, context.entries, context.column_count,
                                         context.headings, &label, context.layout, &pipe);
  if (pipe.open && !failed(error)) hand_over_opened(context.entries.front(), std::move(pipe));
  if (pipe.open && failed(error)) close_splitter(pipe.splitter);
  if (failed(error)) {
    status = fail_input(context, error);
    return false;
  }
  // The hints read the standard layout's 12-character label.
  const std::string hint = context.layout == FileLayout::standard
                               ? header_label_hint(context.entries.front(), label, context.headings)
                               : std::string();
  if (!hint.empty()) warn(context, hint);
  return true;
}

// After the data pass: the fits, the cells whose digits a further pass keeps, the comparison,
// the fit check and the sample percentiles (the last two only for a report with its head).
void later_figures(RunContext& context, const Options& options, bool head_written) {
  finalize_table(context.results.table);
  keep_digits(context);
  const bool compared = context.results.comparison && context.results.comparison->reported;
  if (compared || options.fit_best) look_at_values_again(context);
  if (options.fit_best || !is_normal_fit(context.distribution.mode)) fit_families(context, options);
  if (compared) {
    for (const std::string& line :
         compare_fits_lines(*context.results.comparison, context.results.table,
                            context.distribution, context.headings, options.zeros)) {
      std::fputs(line.c_str(), context.console.err);
    }
  }
  if (options.check_fit && head_written) check_fit(context);  // no rows, no use for it
  if (options.ci && options.table && head_written) fit_intervals(context, options);
  if (options.sample && options.table && head_written) sample_percentiles(context, options);
  if (options.ci && options.table && head_written) note_intervals(context, options);
}

// The steps once the outputs are open: columns, head, data, rows, table, close.
ExitStatus write_report(RunContext& context, const Options& options) {
  context.layout = options.layout;
  context.levels = options.levels;
  context.fit_best = options.fit_best;
  ExitStatus status = kExitOk;
  if (!read_columns(context, status) || !sample_budget_fits(context, options, status)) {
    return status;
  }
  context.results = allocate_results(context.column_count, context.distribution,
                                     {options.compare_fits, options.fit_best});
  const bool head_written =
      write_report_head(context.report.get(), context.column_count, context.distribution.mode,
                        context.entries, context.distribution.zeros, options.fit_best);
  const int head_error = head_written ? 0 : errno;
  stamp_files(context);  // for any later pass, which holds the files against them
  if (options.sample && options.table) {
    context.kept = std::make_unique<KeptValues>(context.column_count,
                                                sample_budget(context, options).values());
  }
  const ExitStatus data_status = read_all_data(context);
  forget_handed_over();
  if (data_status != kExitOk) return data_status;
  if (options.strict && context.input_warnings > 0) {
    return report_strict_failure(context.console.out, context.input_warnings);
  }
  later_figures(context, options, head_written);
  // A report whose head is incomplete gets no rows, and no table beside it.
  const std::optional<WriteFailure> failure =
      head_written ? write_and_commit(context) : WriteFailure{context.report_name, head_error};
  if (failure) {
    return report_cannot_write_report(context.console.out, context.console.err, failure->name,
                                      failure->error_number);
  }
  return kExitOk;
}

ExitStatus run_sequence(const std::vector<std::string>& args, RunContext& context) {
  Options options;
  ExitStatus status;
  if (ends_before_the_run(args, options, context.console, status)) return status;
  for (const std::string& word : options.ignored_words) warn(context, ignored_word_warning(word));
  if (!choose_distribution(options, context, status)) return status;

  context.list_name = *options.list_name;
  bool cr_line_ends = false;
  const InputError error =
      read_list_file(context.list_name, context.entries, &context.entry_lines, &cr_line_ends);
  if (failed(error)) return fail_input(context, error);
  if (cr_line_ends) warn(context, warning_text(context.list_name, kCarriageReturnLineEnds));
  // A data file given as the list names its own lines: one hint instead of a warning for each.
  const std::string data_file_hint = data_file_as_list_hint(context.list_name, context.entries);
  std::fputs(data_file_hint.c_str(), context.console.err);
  if (data_file_hint.empty()) warn_listed_again(context);
  if (!refuse_pipes_read_twice(context, options, status)) return status;
  status = open_report(context, options);
  if (status == kExitOk) status = open_table(context, options);
  if (status != kExitOk) return status;

  status = write_report(context, options);
  if (status != kExitOk) return status;
  if (!options.quiet) print_ready(context.console.out);
  return kExitOk;
}

}  // namespace

namespace {
std::FILE* waiting_notice_out = stderr;
void print_waiting_notice(const std::string& path) {
  std::fprintf(waiting_notice_out, "pctlfit: waiting for a writer on %s, a FIFO\n", path.c_str());
  std::fflush(waiting_notice_out);
}
}  // namespace

int run_pctlfit(const std::vector<std::string>& args, const Console& console) {
  waiting_notice_out = console.err;
  on_waiting_for_writer(print_waiting_notice);
  RunContext context;
  context.console = console;
  context.threads =
      thread_count(std::getenv("PCTLFIT_THREADS"), std::thread::hardware_concurrency());
  std::string refused;
  const Reading* reading = reading_from_environment(std::getenv("PCTLFIT_READING"), refused);
  if (reading != nullptr) use_kernel_set(*reading);
  const ExitStatus status =
      reading != nullptr ? run_sequence(args, context) : report_usage_error(console.out, refused);
  discard_unfinished_outputs(context);
  on_waiting_for_writer(nullptr);
  std::fflush(console.out);
  std::fflush(console.err);
  return status;
}

}  // namespace pctlfit
