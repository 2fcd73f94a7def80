#pragma once
// The monthly envelope of report columns as an SVG chart: one panel per column, with the band
// from the 5 % to the 95 % percentile, the median, and the minimum and maximum dashed.

#include <string>
#include <vector>

#include "plot/figure_table.h"
#include "plot/report_file.h"
#include "plot/svg.h"

namespace pctlfit::plot {

struct Point {
  double x = 0;
  double y = 0;
};

// The plot area of a panel, in chart coordinates, and the value range it shows.
struct Frame {
  double left = 0, top = 0, width = 0, height = 0;
  double low = 0, high = 1;
};

// Where month m (0-based) and `value` lie in the frame.
inline double frame_x(const Frame& frame, int m) { return frame.left + m * frame.width / 11; }
inline double frame_y(const Frame& frame, double value) {
  return frame.top + frame.height - (value - frame.low) / (frame.high - frame.low) * frame.height;
}

// What a panel draws. Figures that are not finite, and every figure of a month without values,
// leave gaps: each run of consecutive usable months is drawn on its own.
struct PanelShapes {
  std::vector<std::vector<Point>> band;      // one polygon per run: 95 % forward, 5 % back
  std::vector<std::vector<Point>> lines[3];  // median, minimum, maximum: one polyline per run
  std::vector<double> ticks;                 // y axis values
  Frame frame;       // the plot area, its range from the first to the last tick
  std::string note;  // names the gaps (without values or without a fit), empty without any
  bool log = false;  // the value axis is logarithmic: frame and ticks hold log10 of the values
};

// How a chart is drawn, beyond its report and columns.
struct ChartOptions {
  std::string ylabel;  // labels every panel's value axis, if not empty
  std::string title;   // instead of the report's title, if not empty
  bool log = false;    // a logarithmic value axis; values at or below 0 are left out and named
};

// Round tick values (steps of 1, 2 or 5 times a power of ten) that cover low..high.
std::vector<double> nice_ticks(double low, double high, int wanted = 5);

// Ticks for a log axis over log10 values low..high: log10 of 1, 2 and 5 times powers of ten
// (of the powers of ten alone when those are too many), from the one at or below `low` to the
// one at or above `high`.
std::vector<double> log_ticks(double low, double high);

// The shapes of one column's panel whose plot area is at left, top, width, height. The axis
// spans the figures and the `other_marks` (sample points) drawn on it.
PanelShapes panel_shapes(const ColumnFigures& column, double left, double top, double width,
                         double height, bool log = false,
                         const std::vector<double>& other_marks = {});

// `text` broken into lines of at most `width` characters, at "; " and then at blanks (a word
// longer than a line is cut), at most `lines` of them, the last ending in an ellipsis when text
// was left over.
std::vector<std::string> wrap_text(const std::string& text, size_t width, size_t lines);

// The chart of the given columns (1-based numbers), as a self-contained SVG document: four panels
// a row, as many rows as needed. With a figure table, each panel is labelled with its column's
// heading, months fitted from fewer than three values are shaded, and months with values but
// no finite fit are told from months without values.
std::string render_chart(const Report& report, const std::vector<int>& columns,
                         const FigureTable* table = nullptr, const ChartOptions& options = {});

// The report's title as a chart shows it: "values from" apart from the first name, which the
// report writes right after it.
std::string chart_title(const std::string& report_title);

// `text` cut to at most `max_chars` characters (UTF-8), ending in an ellipsis when it was cut.
std::string fit_text(const std::string& text, size_t max_chars);

}  // namespace pctlfit::plot
