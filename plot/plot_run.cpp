#include "plot/plot_run.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "plot/chart.h"
#include "plot/report_file.h"

namespace pctlfit::plot {

namespace {

constexpr const char* kUsage =
    "usage: pctlfit-plot REPORT.sta [COLUMN ...]\n"
    "Draws the monthly minimum, 5 %, 50 %, 95 % and maximum of each column of a pctlfit report\n"
    "(or of the columns named) into REPORT.svg.\n";

bool read_text(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return !in.bad();
}

// The column numbers named on the command line, or every column; false for a bad name.
bool select_columns(const std::vector<std::string>& args, size_t available,
                    std::vector<int>& columns, std::string& bad) {
  for (size_t i = 1; i < args.size(); ++i) {
    int column = 0;
    const char* end = args[i].data() + args[i].size();
    const auto [parsed_end, ec] = std::from_chars(args[i].data(), end, column);
    if (ec != std::errc() || parsed_end != end || column < 1 || size_t(column) > available) {
      bad = args[i];
      return false;
    }
    columns.push_back(column);
  }
  if (columns.empty()) {
    for (size_t c = 1; c <= available; ++c) columns.push_back(int(c));
  }
  return true;
}

}  // namespace

std::string chart_name(const std::string& report_name) {
  if (report_name.size() > 4 && report_name.ends_with(".sta")) {
    return report_name.substr(0, report_name.size() - 4) + ".svg";
  }
  return report_name + ".svg";
}

namespace {

// Reads and parses the report; on failure prints why and returns false.
bool load_report(const std::string& path, Report& report, std::FILE* err) {
  std::string text;
  if (!read_text(path, text)) {
    std::fprintf(err, "pctlfit-plot: cannot read %s\n", path.c_str());
    return false;
  }
  std::string error;
  if (!parse_report(text, path, report, error)) {
    std::fprintf(err, "pctlfit-plot: %s\n", error.c_str());
    return false;
  }
  return true;
}

bool write_text(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int run_plot(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  if (args.empty()) {
    std::fputs(kUsage, err);
    return 1;
  }
  if (args[0] == "-h" || args[0] == "--help") {
    std::fputs(kUsage, out);
    return 0;
  }
  const std::string& path = args[0];
  Report report;
  if (!load_report(path, report, err)) return 2;
  std::vector<int> columns;
  std::string bad;
  if (!select_columns(args, report.columns.size(), columns, bad)) {
    std::fprintf(err, "pctlfit-plot: no column '%s' in %s, which has columns 1 to %zu\n",
                 bad.c_str(), path.c_str(), report.columns.size());
    return 1;
  }
  if (columns.size() > kMaxPanels) {
    std::fprintf(
        err, "pctlfit-plot: drawing the first %zu of %zu columns; name columns to draw others\n",
        kMaxPanels, columns.size());
  }
  const std::string target = chart_name(path);
  if (!write_text(target, render_chart(report, columns))) {
    std::fprintf(err, "pctlfit-plot: cannot write %s\n", target.c_str());
    return 4;
  }
  std::fprintf(out, "pctlfit-plot: wrote %s\n", target.c_str());
  return 0;
}

}  // namespace pctlfit::plot
