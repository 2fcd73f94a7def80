#include "run/run.h"

#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "input/data_pass.h"
#include "input/file_identity.h"
#include "input/header.h"
#include "input/list_file.h"
#include "report/report_writer.h"
#include "run/exit_status.h"
#include "run/messages.h"
#include "run/progress.h"
#include "stats/domain_check.h"
#include "text/str_ops.h"

namespace pctlfit {

std::string derive_report_name(const std::string& list_name) {
  std::string work = list_name;
  const int point = str_position(work, ".");
  if (point > 0) str_cut(work, 0, point - 1);
  return work + ".sta";
}

DistributionMode select_mode(const std::optional<std::string>& keyword) {
  if (keyword == "NV") return DistributionMode::NV;
  if (keyword == "LN3") return DistributionMode::LN3;
  return DistributionMode::LN2;
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

double read_lower_limit(const Console& console) {
  print_ln3_prompt(console.out);
  double limit = 0.0;
  if (std::fscanf(console.in, "%lf", &limit) != 1) limit = 0.0;
  return limit;
}

bool report_is_an_input(const RunContext& context) {
  if (same_file(context.report_name, context.list_name)) return true;
  for (const std::string& entry : context.entries) {
    if (same_file(context.report_name, entry)) return true;
  }
  return false;
}

// Opens the report, unless that would truncate one of the inputs.
ExitStatus open_report(RunContext& context) {
  context.report_name = derive_report_name(context.list_name);
  if (report_is_an_input(context)) {
    return report_report_is_input(context.console.out, context.report_name);
  }
  context.report.reset(std::fopen(context.report_name.c_str(), "w"));
  if (!context.report) return report_cannot_open_report(context.console.out, context.report_name);
  return kExitOk;
}

// The data pass, with a progress line for a person at a terminal and, afterwards, the warnings
// about figures that come out non-finite or zero.
InputError read_all_data(RunContext& context) {
  WarningSink warnings;
  warnings.out = context.console.err;
  DataPassOptions options;
  options.threads = context.threads;
  BoundCounts bound_counts = allocate_bound_counts(context.column_count);
  options.bound_counts = &bound_counts;
  ProgressLine progress{context.console.err};
  if (context.entries.size() > 1 && ::isatty(::fileno(context.console.err))) {
    options.progress = {update_progress, &progress};
    warnings.prefix = kEraseLine;  // a warning takes the progress line's place
  }
  const InputError error =
      read_data_files(context.entries, context.distribution, context.table, warnings, options);
  clear_progress(progress);
  if (failed(error)) return error;
  for (const std::string& line :
       domain_warnings(context.table, bound_counts, context.distribution)) {
    std::fputs(line.c_str(), context.console.err);
  }
  return {};
}

// Flushes and closes the report; false when any of it could not be written.
bool close_report(RunContext& context) {
  std::FILE* report = context.report.release();
  bool written = std::fflush(report) == 0 && !std::ferror(report);
  written = std::fclose(report) == 0 && written;
  return written;
}

// --version, no argument (usage) and --help end the run before it starts; true if so.
bool ends_before_the_run(const std::vector<std::string>& args, const Console& console,
                         ExitStatus& status) {
  status = kExitOk;
  if (!args.empty() && args[0] == "--version") {
    print_version(console.out);
    return true;
  }
  print_banner(console.out);
  if (args.empty()) {
    print_usage(console.out);
    status = kExitUsage;
    return true;
  }
  if (args[0] == "-h" || args[0] == "--help") {
    print_usage(console.out);
    print_help_pointer(console.out);
    return true;
  }
  return false;
}

// The mode word after the list name, and for LN3 the lower limit from the prompt.
void read_mode(const std::vector<std::string>& args, RunContext& context) {
  context.distribution.mode = select_mode(args.size() > 1 ? std::optional(args[1]) : std::nullopt);
  if (context.distribution.mode == DistributionMode::LN3) {
    context.distribution.lower_limit = read_lower_limit(context.console);
  }
}

ExitStatus run_sequence(const std::vector<std::string>& args, RunContext& context) {
  ExitStatus status;
  if (ends_before_the_run(args, context.console, status)) return status;
  read_mode(args, context);

  context.list_name = args[0];
  InputError error = read_list_file(context.list_name, context.entries);
  if (failed(error)) return report_input_error(context.console.out, error);
  status = open_report(context);
  if (status != kExitOk) return status;

  error = count_columns(context.list_name, context.entries, context.column_count);
  if (failed(error)) return report_input_error(context.console.out, error);
  context.table = allocate_table(context.column_count);
  bool written = write_report_head(context.report.get(), context.column_count,
                                   context.distribution.mode, context.entries);
  error = read_all_data(context);
  if (failed(error)) return report_input_error(context.console.out, error);

  finalize_table(context.table);
  written = write_month_rows(context.report.get(), context.table, context.distribution) && written;
  written = close_report(context) && written;
  if (!written) return report_cannot_write_report(context.console.out, context.report_name);
  print_ready(context.console.out);
  return kExitOk;
}

}  // namespace

int run_pctlfit(const std::vector<std::string>& args, const Console& console) {
  RunContext context;
  context.console = console;
  context.threads =
      thread_count(std::getenv("PCTLFIT_THREADS"), std::thread::hardware_concurrency());
  const ExitStatus status = run_sequence(args, context);
  std::fflush(console.out);
  std::fflush(console.err);
  return status;
}

}  // namespace pctlfit
