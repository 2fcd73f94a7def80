#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace pctlfit::plot {

// The name of the chart beside a report: ".sta" replaced by ".svg" (appended without ".sta").
std::string chart_name(const std::string& report_name);

// Runs pctlfit-plot with `args` (without the program name): 0 written, 1 usage, 2 not a report
// (nothing written), 4 the chart cannot be written.
int run_plot(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace pctlfit::plot
