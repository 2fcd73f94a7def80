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
};

// Round tick values (steps of 1, 2 or 5 times a power of ten) that cover low..high.
std::vector<double> nice_ticks(double low, double high, int wanted = 5);

// The shapes of one column's panel whose plot area is at left, top, width, height.
PanelShapes panel_shapes(const ColumnFigures& column, double left, double top, double width,
                         double height);

// The chart of the given columns (1-based numbers), as a self-contained SVG document: four panels
// a row, as many rows as needed. With a figure table, each panel is labelled with its column's
// heading, months fitted from fewer than three values are shaded, and months with values but
// no finite fit are told from months without values. `ylabel`, if not empty, labels every
// panel's value axis.
std::string render_chart(const Report& report, const std::vector<int>& columns,
                         const FigureTable* table = nullptr, const std::string& ylabel = "");

// The report's title as a chart shows it: "values from" apart from the first name, which the
// report writes right after it.
std::string chart_title(const std::string& report_title);

// `text` cut to at most `max_chars` characters (UTF-8), ending in an ellipsis when it was cut.
std::string fit_text(const std::string& text, size_t max_chars);

}  // namespace pctlfit::plot
