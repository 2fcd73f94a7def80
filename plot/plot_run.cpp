#include "plot/plot_run.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/platform.h"
#include "plot/chart.h"
#include "plot/column_selection.h"
#include "plot/figure_table.h"
#include "plot/report_file.h"
#include "text/option_value.h"

namespace pctlfit::plot {

namespace {

constexpr const char* kUsage =
    "usage: pctlfit-plot [OPTIONS] [--] REPORT.sta [COLUMN ...]\n"
    "Draws the monthly minimum, 5 %, 50 %, 95 % and maximum of every column of a pctlfit report\n"
    "(or of the columns named: 3, 61-120, 1,5,9-12, or a heading with --table) into an SVG chart.\n"
    "\n"
    "Options:\n"
    "  -o, --output=FILE  the chart's name (default: the report's, with .svg for .sta)\n"
    "      --table=FILE   the figure table of the same run (pctlfit --table): panels named by\n"
    "                     their column headings, months fitted from fewer than 3 values shaded\n"
    "      --ylabel=TEXT  a label for the value axis of every panel, such as its unit (m3/s)\n"
    "      --title=TEXT   the chart's title (default: the report's)\n"
    "      --log          a logarithmic value axis (figures at or below 0 are left out)\n"
    "  -h, --help         this text\n"
    "      --version      the version\n"
    "Exit status: 0 written, 1 usage, 2 a file that cannot be read or is not a report or table,\n"
    "4 the chart cannot be written.\n";

struct PlotOptions {
  bool help = false;
  bool version = false;
  std::optional<std::string> output;
  std::optional<std::string> table;
  std::optional<std::string> ylabel;
  std::optional<std::string> title;
  bool log = false;
  std::vector<std::string> operands;  // the report, then the columns
};

// An option without a value: true if `arg` is one (and noted in `options`).
bool take_flag(const std::string& arg, PlotOptions& options) {
  if (arg == "-h" || arg == "--help") return options.help = true;
  if (arg == "--version") return options.version = true;
  if (arg == "--log") return options.log = true;
  return false;
}

// An option with a value at args[i] (which it may step past); false with `error` set.
bool take_valued(const std::vector<std::string>& args, size_t& i, PlotOptions& options,
                 std::string& error) {
  struct Valued {
    const char* short_name;
    const char* name;
    std::optional<std::string>* value;
  };
  const Valued valued[] = {{"-o", "output", &options.output},
                           {nullptr, "table", &options.table},
                           {nullptr, "ylabel", &options.ylabel},
                           {nullptr, "title", &options.title}};
  const std::string arg = args[i];
  OptionValue option;
  for (const Valued& v : valued) {
    option = option_value(args, i, v.short_name, v.name);
    if (option.match == OptionMatch::value) *v.value = option.value;
    if (option.match != OptionMatch::other) break;
  }
  if (option.match == OptionMatch::missing_value) error = "option " + arg + " needs a value";
  if (option.match == OptionMatch::other) {
    error = "unknown option " + arg + " (pctlfit-plot --help lists the options)";
  }
  return error.empty();
}

bool parse_plot_options(const std::vector<std::string>& args, PlotOptions& options,
                        std::string& error) {
  size_t i = 0;
  for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
    if (args[i] == "--") {
      ++i;
      break;
    }
    if (!take_flag(args[i], options) && !take_valued(args, i, options, error)) return false;
  }
  options.operands.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  return true;
}

// The whole file, through the platform's reading (UTF-8 names on Windows too).
bool read_text(const std::string& path, std::string& text) {
  const int fd = open_for_reading(path);
  if (fd < 0) return false;
  text.clear();
  char buffer[1 << 16];
  int64_t got;
  while ((got = read_some(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
  close_for_reading(fd);
  return got == 0;
}

// Reads and parses a report or a figure table; on failure prints why and returns false.
template <typename Parsed, typename Parse>
bool load(const std::string& path, Parsed& parsed, Parse parse, std::FILE* err) {
  std::string text;
  if (!read_text(path, text)) {
    std::fprintf(err, "pctlfit-plot: cannot read %s\n", path.c_str());
    return false;
  }
  std::string error;
  if (!parse(text, path, parsed, error)) {
    std::fprintf(err, "pctlfit-plot: %s\n", error.c_str());
    return false;
  }
  return true;
}

bool write_text(const std::string& path, const std::string& text) {
  std::FILE* file = open_for_writing(path, false);
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

// The mode a report's title names ("NV", "LN2", "LN3"; empty for another title).
std::string title_mode(const std::string& title) {
  if (title.find("(LN2)") != std::string::npos) return "LN2";
  if (title.find("(LN3)") != std::string::npos) return "LN3";
  if (title.starts_with("Percentiles for Gaussian distribution")) return "NV";
  return {};
}

// The first figure of the table that does not round to the report's: "" when there is none.
std::string figure_mismatch(const Report& report, const std::string& report_name,
                            const FigureTable& table, const std::string& table_name) {
  static constexpr const char* kNames[5] = {"min", "p5", "p50", "p95", "max"};
  for (size_t c = 0; c < report.columns.size(); ++c) {
    for (size_t m = 0; m < 12; ++m) {
      for (size_t f = 0; f < 5; ++f) {
        const double in_table = table.figures[c][m][f];
        const double in_report = report.columns[c].months[m][f];
        if (!std::isfinite(in_table) || !std::isfinite(in_report)) continue;
        char rounded[512];
        std::snprintf(rounded, sizeof rounded, "%.2f", in_table);
        if (std::strtod(rounded, nullptr) == in_report) continue;
        char shown[600];
        std::snprintf(shown, sizeof shown, "%s is %s there, %.2f in the report %s", kNames[f],
                      rounded, in_report, report_name.c_str());
        return table_name + ": column " + std::to_string(c + 1) + ", month " +
               std::to_string(m + 1) + ": " + shown + ": the table of another run";
      }
    }
  }
  return {};
}

// Why the table is not the report's (another mode, --zeros in one only, a figure that does not
// round to the report's); empty when it is.
std::string table_mismatch(const Report& report, const std::string& report_name,
                           const FigureTable& table, const std::string& table_name) {
  const std::string mode = title_mode(report.title);
  if (!table.mode.empty() && !mode.empty() && table.mode != mode) {
    return table_name + " is the table of a " + table.mode + " run, the report " + report_name +
           " of a " + mode + " run";
  }
  const bool report_zeros = report.title.find("(--zeros)") != std::string::npos;
  if (!mode.empty() && table.zeros != report_zeros) {
    return table_name + " is the table of a run " + (table.zeros ? "with" : "without") +
           " --zeros, the report " + report_name + " of one " + (report_zeros ? "with" : "without");
  }
  return figure_mismatch(report, report_name, table, table_name);
}

// The report and, if named, its figure table; 0, or the status of the failure.
int load_inputs(const PlotOptions& options, Report& report, std::optional<FigureTable>& table,
                std::FILE* err) {
  const std::string& path = options.operands[0];
  if (!load(path, report, parse_report, err)) return 2;
  if (!options.table) return 0;
  table.emplace();
  if (!load(*options.table, *table, parse_figure_table, err)) return 2;
  if (table->headings.size() != report.columns.size()) {
    std::fprintf(err, "pctlfit-plot: %s has %zu columns, the report %s has %zu\n",
                 options.table->c_str(), table->headings.size(), path.c_str(),
                 report.columns.size());
    return 2;
  }
  const std::string mismatch = table_mismatch(report, path, *table, *options.table);
  if (!mismatch.empty()) {
    std::fprintf(err, "pctlfit-plot: %s\n", mismatch.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

std::string chart_name(const std::string& report_name) {
  if (report_name.size() > 4 && report_name.ends_with(".sta")) {
    return report_name.substr(0, report_name.size() - 4) + ".svg";
  }
  return report_name + ".svg";
}

int run_plot(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  PlotOptions options;
  std::string error;
  if (!parse_plot_options(args, options, error)) {
    std::fprintf(err, "pctlfit-plot: %s\n", error.c_str());
    return 1;
  }
  if (options.version) return std::fprintf(out, "pctlfit-plot %s\n", PCTLFIT_VERSION) < 0 ? 4 : 0;
  if (options.help) return std::fputs(kUsage, out) < 0 ? 4 : 0;
  if (options.operands.empty()) {
    std::fputs(kUsage, err);
    return 1;
  }
  Report report;
  std::optional<FigureTable> table;
  if (const int status = load_inputs(options, report, table, err); status != 0) return status;
  std::vector<int> columns;
  std::string bad;
  const std::vector<std::string> words(options.operands.begin() + 1, options.operands.end());
  if (!select_columns(words, report.columns.size(),
                      table ? table->headings : std::vector<std::string>{}, columns, bad)) {
    std::fprintf(err, "pctlfit-plot: no column '%s' in %s, which has columns 1 to %zu%s\n",
                 bad.c_str(), options.operands[0].c_str(), report.columns.size(),
                 table ? " and their headings" : "");
    return 1;
  }
  const std::string target = options.output.value_or(chart_name(options.operands[0]));
  const std::string chart =
      render_chart(report, columns, table ? &*table : nullptr,
                   {options.ylabel.value_or(""), options.title.value_or(""), options.log});
  if (!write_text(target, chart)) {
    std::fprintf(err, "pctlfit-plot: cannot write %s\n", target.c_str());
    return 4;
  }
  std::fprintf(out, "pctlfit-plot: wrote %s\n", target.c_str());
  return 0;
}

}  // namespace pctlfit::plot
