#include "plot/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/svg.h"

namespace pctlfit::plot {

namespace {

constexpr const char* kMonthInitials = "JFMAMJJASOND";
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Panel layout: the plot area inside a panel, and the panel's size.
constexpr double kPanelWidth = 290, kPanelHeight = 232;
constexpr double kAreaLeft = 52, kAreaTop = 30, kAreaWidth = 222, kAreaHeight = 140;
constexpr double kChartLeft = 10, kChartTop = 64;
constexpr size_t kPanelsPerRow = 4;

// Every colour of the chart, named once.
constexpr const char* kBandFill = "#9ecae1";
constexpr const char* kBandEdge = "#6baed6";
constexpr const char* kMedianColour = "#08519c";
constexpr const char* kExtremeColour = "#555555";
constexpr const char* kGridColour = "#e0e0e0";
constexpr const char* kFrameColour = "#999999";
constexpr const char* kNoteColour = "#a50f15";
constexpr const char* kSparseFill = "#fdd0a2";
constexpr const char* kSampleColour = "#d94801";
// The fitted figures' confidence intervals: a light grey veil over the band, edged.
constexpr const char* kIntervalFill = "#636363";
constexpr const char* kIntervalOpacity = "0.2";

// A month fitted from fewer values than this is marked: its percentiles rest on almost nothing.
constexpr uint64_t kFewValues = 3;
// Average glyph widths, for fitting text into a width without measuring it.
constexpr double kTitleGlyphWidth = 14 * 0.55;
constexpr double kPanelTitleGlyphWidth = 11 * 0.62;  // bold
constexpr double kNoteGlyphWidth = 10 * 0.55;
// A panel's note: its lines, kept this far inside the panel's edges.
constexpr size_t kNoteLines = 3;
constexpr double kNoteInset = 10;

// The lines of a panel, in the order of PanelShapes::lines.
struct LineStyle {
  Figure figure;
  const char* css_class;
  const char* colour;
  const char* width;
  const char* dash;      // nullptr: solid
  const char* dot_fill;  // the marker of a lone month: filled, or hollow (white)
};
constexpr LineStyle kLineStyles[3] = {
    {kP50, "median", kMedianColour, "2", nullptr, kMedianColour},
    {kMin, "min", kExtremeColour, "1", "4 3", "white"},
    {kMax, "max", kExtremeColour, "1", "4 3", "white"},
};

// The line's stroke: colour, width and dashes, after `attributes`.
SvgAttributes with_stroke(SvgAttributes attributes, const LineStyle& style) {
  attributes.push_back(attr("stroke", style.colour));
  attributes.push_back(attr("stroke-width", style.width));
  if (style.dash != nullptr) attributes.push_back(attr("stroke-dasharray", style.dash));
  return attributes;
}

// A month without values shows min above max (the empty sample's +-1e100 or inf and 0).
bool has_values(const std::array<double, kFigures>& month) { return month[kMin] <= month[kMax]; }

bool usable(const std::array<double, kFigures>& month, Figure figure) {
  return has_values(month) && std::isfinite(month[figure]);
}

std::string points_text(const std::vector<Point>& points) {
  std::string text;
  for (const Point& p : points) {
    if (!text.empty()) text += ' ';
    text += format_number(p.x) + "," + format_number(p.y);
  }
  return text;
}

// Runs of consecutive months (0-based, inclusive) for which `ok` holds.
template <typename Ok>
std::vector<std::pair<int, int>> runs_of(Ok ok) {
  std::vector<std::pair<int, int>> runs;
  for (int m = 0; m < 12; ++m) {
    if (!ok(m)) continue;
    if (!runs.empty() && runs.back().second == m - 1) {
      runs.back().second = m;
    } else {
      runs.push_back({m, m});
    }
  }
  return runs;
}

std::string month_names(const std::vector<int>& months) {
  std::string text;
  for (int m : months) text += (text.empty() ? "" : ", ") + std::string(kMonthNames[m]);
  return text;
}

// Names the months without a figure to draw: those without values, and those whose values all
// lie at or below the log-normal bound, so that no finite fit exists. Without the figure
// table's counts the two look alike in the report (an infinite minimum). The table's "no fit"
// flags, where given, name those months whatever their least and greatest values.
std::string gap_note(const ColumnFigures& column, const std::array<uint64_t, 12>* counts, bool log,
                     const std::array<bool, 12>* no_fit_flags = nullptr) {
  std::vector<int> empty;
  std::vector<int> no_fit;
  std::vector<int> non_finite;
  std::vector<int> not_positive;
  for (int m = 0; m < 12; ++m) {
    const auto& month = column.months[size_t(m)];
    if (no_fit_flags != nullptr && (*no_fit_flags)[size_t(m)]) {
      no_fit.push_back(m);
    } else if (!has_values(month)) {
      (counts != nullptr && (*counts)[size_t(m)] > 0 ? no_fit : empty).push_back(m);
    } else if (!std::all_of(month.begin(), month.end(),
                            [](double v) { return std::isfinite(v); })) {
      non_finite.push_back(m);
    } else if (log && !std::all_of(month.begin(), month.end(), [](double v) { return v > 0; })) {
      not_positive.push_back(m);
    }
  }
  std::vector<std::string> parts;
  if (!empty.empty()) {
    parts.push_back((counts != nullptr ? "no values: " : "no values or no fit: ") +
                    month_names(empty));
  }
  if (!no_fit.empty())
    parts.push_back("no fit (values at or below the bound): " + month_names(no_fit));
  if (!non_finite.empty()) parts.push_back("non-finite: " + month_names(non_finite));
  if (!not_positive.empty()) {
    parts.push_back("figures at or below 0, off the log axis: " + month_names(not_positive));
  }
  std::string note;
  for (const std::string& part : parts) note.append(note.empty() ? "" : "; ").append(part);
  return note;
}

// A log axis's tick (log10 of its value) as the value: whole from 1 to a million, else in
// three significant digits.
std::string log_tick_text(double tick) {
  const double value = std::pow(10.0, tick);
  char text[32];
  std::snprintf(text, sizeof text, value >= 1 && value < 1e7 ? "%.0f" : "%.3g", value);
  return text;
}

int tick_decimals(const std::vector<double>& ticks) {
  if (ticks.size() < 2) return 0;
  const double step = ticks[1] - ticks[0];
  return std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 6);
}

}  // namespace

std::vector<double> nice_ticks(double low, double high, int wanted) {
  if (!(high > low)) {
    const double pad = low == 0 ? 1 : std::fabs(low) * 0.1;
    low -= pad;
    high += pad;
  }
  const double rough = (high - low) / std::max(wanted - 1, 1);
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * power;
    if (step >= rough) break;
  }
  std::vector<double> ticks;
  const double first = std::floor(low / step) * step;
  for (int i = 0; ticks.empty() || ticks.back() < high - step * 1e-9; ++i) {
    const double tick = first + i * step;
    ticks.push_back(std::fabs(tick) < step * 1e-9 ? 0.0 : tick);
  }
  return ticks;
}

std::vector<double> log_ticks(double low, double high) {
  if (!(high > low)) return nice_ticks(low, high);
  constexpr double kEpsilon = 1e-9;
  // 1, 2 and 5 times the powers of ten that cover the range; the decades alone when those are
  // too many for a panel.
  for (const std::vector<double>& mantissas :
       {std::vector<double>{1, 2, 5}, std::vector<double>{1}}) {
    std::vector<double> ticks;
    for (double k = std::floor(low); k <= std::ceil(high); ++k) {
      for (double m : mantissas) {
        const double tick = k + std::log10(m);
        if (tick <= low + kEpsilon) ticks.clear();  // the last at or below the range starts it
        if (ticks.empty() || ticks.back() < high - kEpsilon) ticks.push_back(tick);
      }
    }
    if (ticks.size() <= 8 || mantissas.size() == 1) return ticks;
  }
  return {};
}

namespace {

// The least and greatest of what a panel draws (its figures, and other marks such as the
// sample's), on its scale; 0 and 1 where it draws nothing.
std::pair<double, double> panel_range(const ColumnFigures& column, bool log,
                                      const std::vector<double>& other_marks) {
  double low = INFINITY, high = -INFINITY;
  const auto take = [&](double value) {
    if (!std::isfinite(value) || (log && !(value > 0))) return;
    const double on_scale = log ? std::log10(value) : value;
    low = std::min(low, on_scale);
    high = std::max(high, on_scale);
  };
  for (const auto& month : column.months) {
    for (int f = 0; f < kFigures; ++f) {
      if (usable(month, Figure(f))) take(month[size_t(f)]);
    }
  }
  for (const double mark : other_marks) take(mark);
  if (low > high) return {0, 1};  // nothing to draw
  return {low, high};
}

}  // namespace

PanelShapes panel_shapes(const ColumnFigures& column, double left, double top, double width,
                         double height, bool log, const std::vector<double>& other_marks) {
  PanelShapes shapes;
  shapes.log = log;
  // On a log axis a figure at or below 0 has no place: it is a gap, named in the note.
  const auto drawable = [&](const std::array<double, kFigures>& month, Figure f) {
    return usable(month, f) && (!log || month[size_t(f)] > 0);
  };
  const auto [low, high] = panel_range(column, log, other_marks);
  shapes.ticks = log ? log_ticks(low, high) : nice_ticks(low, high);
  shapes.frame = {left, top, width, height, shapes.ticks.front(), shapes.ticks.back()};
  const Frame& frame = shapes.frame;
  const auto at = [&](int m, double value) {
    return Point{frame_x(frame, m), frame_y(frame, log ? std::log10(value) : value)};
  };
  for (const auto& [first, last] : runs_of([&](int m) {
         return drawable(column.months[size_t(m)], kP5) && drawable(column.months[size_t(m)], kP95);
       })) {
    std::vector<Point> polygon;
    for (int m = first; m <= last; ++m) polygon.push_back(at(m, column.months[size_t(m)][kP95]));
    for (int m = last; m >= first; --m) polygon.push_back(at(m, column.months[size_t(m)][kP5]));
    shapes.band.push_back(polygon);
  }
  for (size_t l = 0; l < std::size(kLineStyles); ++l) {
    const Figure figure = kLineStyles[l].figure;
    for (const auto& [first, last] :
         runs_of([&](int m) { return drawable(column.months[size_t(m)], figure); })) {
      std::vector<Point> line;
      for (int m = first; m <= last; ++m) line.push_back(at(m, column.months[size_t(m)][figure]));
      shapes.lines[l].push_back(line);
    }
  }
  shapes.note = gap_note(column, nullptr, log);
  return shapes;
}

namespace {

// "SB042 · column 42" with a heading, "Column 42" without; shortened to the panel's width.
std::string panel_title(int column_number, const std::string& heading, double left, double y) {
  const std::string number = std::to_string(column_number);
  const std::string text =
      heading.empty() ? "Column " + number : heading + " \u00b7 column " + number;
  const size_t fitting = static_cast<size_t>((kPanelWidth - 20) / kPanelTitleGlyphWidth);
  return svg_element(
             "text",
             {attr("class", "panel-title"), attr("x", left + kAreaWidth / 2), attr("y", y + 18),
              attr("text-anchor", "middle"), attr("font-weight", "bold")},
             fit_text(text, fitting)) +
         "\n";
}

// Months fitted from fewer than kFewValues values (but some), from the figure table's counts.
std::vector<int> sparse_months(const std::array<uint64_t, 12>& counts) {
  std::vector<int> months;
  for (int m = 0; m < 12; ++m) {
    if (counts[size_t(m)] > 0 && counts[size_t(m)] < kFewValues) months.push_back(m);
  }
  return months;
}

// A shaded column behind each sparse month.
std::string sparse_marks(const Frame& frame, const std::vector<int>& months) {
  std::string svg;
  const double step = frame.width / 11;
  for (int m : months) {
    const double left = std::max(frame.left, frame_x(frame, m) - step / 2);
    const double right = std::min(frame.left + frame.width, frame_x(frame, m) + step / 2);
    svg += svg_element("rect", {attr("class", "sparse"), attr("x", left), attr("y", frame.top),
                                attr("width", right - left), attr("height", frame.height),
                                attr("fill", kSparseFill)}) +
           "\n";
  }
  return svg;
}

// Grid lines with their values on the left, and the month initials along the bottom.
std::string axes(const PanelShapes& shapes) {
  const Frame& frame = shapes.frame;
  const int decimals = tick_decimals(shapes.ticks);
  std::string svg;
  for (double tick : shapes.ticks) {
    const double ty = frame_y(frame, tick);
    svg += svg_element("line", {attr("x1", frame.left), attr("x2", frame.left + frame.width),
                                attr("y1", ty), attr("y2", ty), attr("stroke", kGridColour)}) +
           "\n";
    svg += svg_element("text",
                       {attr("class", "tick"), attr("x", frame.left - 5), attr("y", ty + 4),
                        attr("text-anchor", "end")},
                       shapes.log ? log_tick_text(tick) : format_number(tick, decimals)) +
           "\n";
  }
  for (int m = 0; m < 12; ++m) {
    svg += svg_element("text",
                       {attr("class", "month"), attr("x", frame_x(frame, m)),
                        attr("y", frame.top + frame.height + 15), attr("text-anchor", "middle")},
                       std::string(1, kMonthInitials[m])) +
           "\n";
  }
  return svg;
}

std::string band_polygons(const PanelShapes& shapes) {
  std::string svg;
  for (const auto& polygon : shapes.band) {
    svg += svg_element("polygon", {attr("class", "band"), attr("points", points_text(polygon)),
                                   attr("fill", kBandFill), attr("fill-opacity", "0.7"),
                                   attr("stroke", kBandEdge), attr("stroke-width", "0.5")}) +
           "\n";
  }
  return svg;
}

// The median, minimum and maximum lines; a lone month between gaps is a dot, or it would not show.
std::string figure_lines(const PanelShapes& shapes) {
  std::string svg;
  for (size_t l = 0; l < std::size(kLineStyles); ++l) {
    const LineStyle& style = kLineStyles[l];
    for (const auto& line : shapes.lines[l]) {
      svg += svg_element("polyline",
                         with_stroke({attr("class", style.css_class),
                                      attr("points", points_text(line)), attr("fill", "none")},
                                     style)) +
             "\n";
      if (line.size() != 1) continue;
      svg += svg_element("circle", {attr("class", std::string(style.css_class) + "-dot"),
                                    attr("cx", line[0].x), attr("cy", line[0].y), attr("r", "2.5"),
                                    attr("fill", style.dot_fill), attr("stroke", style.colour),
                                    attr("stroke-width", "1")}) +
             "\n";
    }
  }
  return svg;
}

// The frame, and the note under it in lines that stay inside the panel that starts at x.
std::string frame_and_note(const PanelShapes& shapes, double x) {
  const Frame& frame = shapes.frame;
  std::string svg = svg_element("rect", {attr("x", frame.left), attr("y", frame.top),
                                         attr("width", frame.width), attr("height", frame.height),
                                         attr("fill", "none"), attr("stroke", kFrameColour)}) +
                    "\n";
  const size_t width = static_cast<size_t>((kPanelWidth - 2 * kNoteInset) / kNoteGlyphWidth);
  const std::vector<std::string> lines = wrap_text(shapes.note, width, kNoteLines);
  for (size_t i = 0; i < lines.size(); ++i) {
    svg += svg_element("text",
                       {attr("class", "note"), attr("x", x + kNoteInset),
                        attr("y", frame.top + frame.height + 30 + 12 * double(i)),
                        attr("font-size", "10"), attr("fill", kNoteColour)},
                       lines[i]) +
           "\n";
  }
  return svg;
}

// The value axis's label, turned to read upwards, left of the tick values.
std::string axis_label(const std::string& ylabel, double x, const Frame& frame) {
  if (ylabel.empty()) return {};
  const std::string place = "translate(" + format_number(x + 10) + "," +
                            format_number(frame.top + frame.height / 2) + ") rotate(-90)";
  return svg_element("text",
                     {attr("class", "ylabel"), attr("transform", place),
                      attr("text-anchor", "middle"), attr("font-size", "10")},
                     fit_text(ylabel, 24)) +
         "\n";
}

// The marker of a month whose fit the check found implausible: a triangle above the frame,
// pointing down at the month; at (x, y) it sits in the legend.
std::string misfit_marker(double x, double y) {
  const std::string path = "M" + format_number(x - 4) + "," + format_number(y - 9) + " L" +
                           format_number(x + 4) + "," + format_number(y - 9) + " L" +
                           format_number(x) + "," + format_number(y - 2) + " Z";
  return svg_element("path",
                     {attr("class", "misfit"), attr("d", path), attr("fill", kNoteColour)}) +
         "\n";
}

// A sample percentile's marker: the median filled, the 5 and 95 % hollow.
std::string sample_marker(double x, double y, bool median) {
  return svg_element("circle", {attr("class", median ? "sample-median" : "sample"), attr("cx", x),
                                attr("cy", y), attr("r", "2.5"),
                                attr("fill", median ? kSampleColour : "white"),
                                attr("stroke", kSampleColour), attr("stroke-width", "1.2")}) +
         "\n";
}

// The sample 5, 50 and 95 % of each month over the fitted band (pctlfit --sample), where the
// axis has room for them.
std::string sample_marks(const PanelShapes& shapes,
                         const std::array<std::array<double, 3>, 12>& sample) {
  std::string svg;
  for (int m = 0; m < 12; ++m) {
    for (size_t f = 0; f < 3; ++f) {
      const double value = sample[size_t(m)][f];
      if (!std::isfinite(value) || (shapes.log && !(value > 0))) continue;
      const double scaled = shapes.log ? std::log10(value) : value;
      svg += sample_marker(frame_x(shapes.frame, m), frame_y(shapes.frame, scaled), f == 1);
    }
  }
  return svg;
}

// The months that --check-fit found misfits, marked and named in the note.
std::string misfit_marks(const Frame& frame, const std::array<bool, 12>& misfit,
                         std::string& note) {
  std::vector<int> months;
  std::string svg;
  for (int m = 0; m < 12; ++m) {
    if (!misfit[size_t(m)]) continue;
    months.push_back(m);
    svg += misfit_marker(frame_x(frame, m), frame.top);
  }
  if (!months.empty())
    note.append(note.empty() ? "" : "; ").append("misfit: " + month_names(months));
  return svg;
}

// The months whose flag is "no fit": their fitted figures (0.00 where a zero met the logarithm)
// are not drawn as data but left as gaps, marked below the frame and named in the note; their
// least and greatest values are values, and stay.
ColumnFigures without_unfitted(const ColumnFigures& column, const std::array<bool, 12>& no_fit) {
  ColumnFigures drawn = column;
  for (size_t m = 0; m < 12; ++m) {
    if (!no_fit[m]) continue;
    for (const Figure fitted : {kP5, kP50, kP95}) drawn.months[m][size_t(fitted)] = NAN;
  }
  return drawn;
}

// What a column draws besides its figures, for its axis to span them: the sample points and
// the intervals' ends.
template <size_t N>
void append_values(const std::array<std::array<double, N>, 12>& months,
                   std::vector<double>& values) {
  for (const auto& month : months) values.insert(values.end(), month.begin(), month.end());
}

// The values a table adds to a column's panel: its sample points and its intervals' ends.
std::vector<double> table_marks(const FigureTable& table, size_t index) {
  std::vector<double> marks;
  if (table.sampled) append_values(table.sample[index], marks);
  if (table.with_intervals) append_values(table.intervals[index], marks);
  return marks;
}

// pctlfit --ci: a light band for each fitted line's interval (5, 50, 95 %), over the months
// where both its ends are drawable and the month has a fit, a polygon per run of them.
std::string interval_bands(const PanelShapes& shapes,
                           const std::array<std::array<double, 6>, 12>& intervals,
                           const std::array<bool, 12>* no_fit) {
  const auto drawable = [&](double value) {
    return std::isfinite(value) && (!shapes.log || value > 0);
  };
  const auto at = [&](int m, double value) {
    return Point{frame_x(shapes.frame, m),
                 frame_y(shapes.frame, shapes.log ? std::log10(value) : value)};
  };
  std::string svg;
  for (size_t line = 0; line < 3; ++line) {
    const auto end = [&](int m, size_t hi) { return intervals[size_t(m)][2 * line + hi]; };
    for (const auto& [first, last] : runs_of([&](int m) {
           return drawable(end(m, 0)) && drawable(end(m, 1)) &&
                  (no_fit == nullptr || !(*no_fit)[size_t(m)]);
         })) {
      std::vector<Point> polygon;
      for (int m = first; m <= last; ++m) polygon.push_back(at(m, end(m, 1)));
      for (int m = last; m >= first; --m) polygon.push_back(at(m, end(m, 0)));
      // A lone month's band has no width: a short bar shows it.
      if (first == last) {
        polygon = {at(first, end(first, 1)), at(first, end(first, 0))};
        for (Point& p : polygon) p.x -= 3;
        polygon.push_back({polygon[1].x + 6, polygon[1].y});
        polygon.push_back({polygon[0].x + 6, polygon[0].y});
      }
      svg += svg_element("polygon",
                         {attr("class", "interval"), attr("points", points_text(polygon)),
                          attr("fill", kIntervalFill), attr("fill-opacity", kIntervalOpacity)}) +
             "\n";
    }
  }
  return svg;
}

std::string no_fit_marks(const Frame& frame, const std::array<bool, 12>& no_fit) {
  std::string svg;
  for (int m = 0; m < 12; ++m) {
    if (!no_fit[size_t(m)]) continue;
    const double x = frame_x(frame, m), y = frame.top + frame.height - 6;
    const std::string path = "M" + format_number(x - 4) + "," + format_number(y - 4) + " L" +
                             format_number(x + 4) + "," + format_number(y + 4) + " M" +
                             format_number(x - 4) + "," + format_number(y + 4) + " L" +
                             format_number(x + 4) + "," + format_number(y - 4);
    svg += svg_element("path", {attr("class", "no-fit"), attr("d", path),
                                attr("stroke", kNoteColour), attr("stroke-width", "1.5")}) +
           "\n";
  }
  return svg;
}

// The marker of a month whose best mode by AIC is not the run's: a small square on the frame's
// top edge; at (x, y) it sits in the legend.
std::string other_best_marker(double x, double y) {
  return svg_element("rect", {attr("class", "other-best"), attr("x", x - 3), attr("y", y - 3),
                              attr("width", "6"), attr("height", "6"), attr("fill", "white"),
                              attr("stroke", kSampleColour), attr("stroke-width", "1.2")}) +
         "\n";
}

// Every family's word, as the table names it.
constexpr const char* kFamilyWords[] = {"NV", "LN2", "LN3", "GAM", "P3", "LP3"};

// pctlfit --fit=best: the family of the panel's figures where it is one ("family: GAM"), else
// each family with its months, the most first ("families: LN2 in 7, GAM in 5").
void family_note(const std::array<std::string, 12>& families, std::string& note) {
  std::vector<std::pair<int, std::string>> counts;
  for (const char* family : kFamilyWords) {
    const int count = int(std::count(families.begin(), families.end(), family));
    if (count > 0) counts.emplace_back(-count, family);
  }
  if (counts.empty()) return;
  std::sort(counts.begin(), counts.end());
  std::string text = counts.size() == 1 ? "family: " + counts[0].second : "families: ";
  for (size_t i = 0; i < counts.size() && counts.size() > 1; ++i) {
    text += (i > 0 ? ", " : "") + counts[i].second + " in " + std::to_string(-counts[i].first);
  }
  note.append(note.empty() ? "" : "; ").append(text);
}

// pctlfit --compare-fits: the mode best in most months, in the note, and the months whose best
// is not the family of their figures (the run's mode, or with --fit=best the month's), marked.
std::string best_marks(const Frame& frame, const std::array<std::string, 12>& best,
                       const std::string& run_mode, const std::array<std::string, 12>* families,
                       std::string& note) {
  std::string winner;
  int wins = 0, compared = 0;
  for (const char* mode : kFamilyWords) {
    const int count = int(std::count(best.begin(), best.end(), mode));
    compared += count;
    if (count > wins) winner = mode, wins = count;
  }
  if (compared == 0) return {};
  note.append(note.empty() ? "" : "; ")
      .append("best: " + winner + " in " + std::to_string(wins) + " of " +
              std::to_string(compared) + " months");
  std::string svg;
  std::vector<int> others;
  for (int m = 0; m < 12; ++m) {
    const std::string& own = families != nullptr ? (*families)[size_t(m)] : run_mode;
    if (best[size_t(m)].empty() || best[size_t(m)] == own) continue;
    others.push_back(m);
    svg += other_best_marker(frame_x(frame, m), frame.top + frame.height);
  }
  if (!others.empty()) {
    note.append("; not " + (families != nullptr ? std::string("its family") : run_mode) + ": " +
                month_names(others));
  }
  return svg;
}

// --fit=best's families and --compare-fits' best modes of one panel: its note, and the marks.
std::string choice_marks(PanelShapes& shapes, const FigureTable& table, size_t index) {
  const bool with_families = table.with_families && index < table.families.size();
  if (with_families) family_note(table.families[index], shapes.note);
  if (!table.compared || index >= table.best.size()) return {};
  return best_marks(shapes.frame, table.best[index], table.mode,
                    with_families ? &table.families[index] : nullptr, shapes.note);
}

std::string render_panel(const ColumnFigures& figures, int column_number, const FigureTable* table,
                         const ChartOptions& options, double x, double y) {
  const double left = x + kAreaLeft, top = y + kAreaTop;
  const size_t index = size_t(column_number - 1);
  const bool known = table != nullptr && index < table->counts.size();
  const ColumnFigures column = known && index < table->no_fit.size()
                                   ? without_unfitted(figures, table->no_fit[index])
                                   : figures;
  const bool sampled = known && table->sampled;
  const bool with_intervals = known && table->with_intervals;
  const std::array<bool, 12>* no_fit =
      known && index < table->no_fit.size() ? &table->no_fit[index] : nullptr;
  PanelShapes shapes = panel_shapes(column, left, top, kAreaWidth, kAreaHeight, options.log,
                                    known ? table_marks(*table, index) : std::vector<double>{});
  if (known) {
    shapes.note = gap_note(column, &table->counts[index], shapes.log,
                           index < table->no_fit.size() ? &table->no_fit[index] : nullptr);
  }
  const std::vector<int> sparse = known ? sparse_months(table->counts[index]) : std::vector<int>{};
  if (!sparse.empty()) {
    shapes.note += (shapes.note.empty() ? "" : "; ") +
                   ("fewer than " + std::to_string(kFewValues) + " values: " + month_names(sparse));
  }
  const std::string misfits =
      known && table->checked ? misfit_marks(shapes.frame, table->misfit[index], shapes.note) : "";
  const std::string samples = sampled ? sample_marks(shapes, table->sample[index]) : "";
  const bool flagged = known && index < table->no_fit.size();
  const std::string unfitted = flagged ? no_fit_marks(shapes.frame, table->no_fit[index]) : "";
  const std::string bests = known ? choice_marks(shapes, *table, index) : "";
  return svg_open("g",
                  {attr("class", "panel"), attr("id", "column-" + std::to_string(column_number))}) +
         "\n" + panel_title(column_number, known ? table->headings[index] : "", left, y) +
         sparse_marks(shapes.frame, sparse) + axes(shapes) +
         axis_label(options.ylabel, x, shapes.frame) + band_polygons(shapes) +
         (with_intervals ? interval_bands(shapes, table->intervals[index], no_fit) : "") +
         figure_lines(shapes) + samples + unfitted + frame_and_note(shapes, x) + misfits + bests +
         "</g>\n";
}

// What the band, the lines and (with a figure table) the shading and the misfit marker mean,
// each sample beside its words.
std::string legend(bool with_table, bool checked, bool sampled) {
  const auto label = [](const char* x, const std::string& text) {
    return svg_element("text", {attr("x", x), attr("y", "9")}, text) + "\n";
  };
  const auto sample_line = [](const char* x1, const char* x2, const LineStyle& style) {
    return svg_element(
        "line",
        with_stroke({attr("x1", x1), attr("x2", x2), attr("y1", "5"), attr("y2", "5")}, style));
  };
  std::string svg =
      svg_open("g", {attr("class", "legend"),
                     attr("transform", "translate(" + format_number(kChartLeft + 6) + ",36)")}) +
      "\n";
  svg += svg_element("rect", {attr("width", "22"), attr("height", "10"), attr("fill", kBandFill),
                              attr("fill-opacity", "0.7")}) +
         label("28", "5 % to 95 %");
  svg += sample_line("110", "132", kLineStyles[0]) + label("138", "median");
  svg += sample_line("200", "222", kLineStyles[1]) + label("228", "minimum and maximum");
  if (with_table) {
    svg += svg_element("rect", {attr("x", "360"), attr("width", "22"), attr("height", "10"),
                                attr("fill", kSparseFill)}) +
           label("388", "fewer than " + std::to_string(kFewValues) + " values");
  }
  if (checked) svg += misfit_marker(505, 11) + label("514", "misfit");
  if (sampled) {
    svg += sample_marker(570, 5, false) + sample_marker(578, 5, true) +
           sample_marker(586, 5, false) + label("594", "sample 5, 50, 95 %");
  }
  return svg + "</g>\n";
}

// The table's marks below the first row: a month without a fit and, with --compare-fits, one
// whose best mode is not the run's.
std::string second_legend(const FigureTable& table) {
  const bool unfitted =
      std::any_of(table.no_fit.begin(), table.no_fit.end(), [](const auto& months) {
        return std::find(months.begin(), months.end(), true) != months.end();
      });
  if (!unfitted && !table.compared && !table.with_intervals) return {};
  std::string svg =
      svg_open("g", {attr("class", "legend"),
                     attr("transform", "translate(" + format_number(kChartLeft + 6) + ",50)")}) +
      "\n";
  if (unfitted) {
    const Frame cross{7, -1, 0, 12, 0, 1};  // puts no_fit_marks' cross at (7, 5)
    std::array<bool, 12> one{};
    one[0] = true;
    svg += no_fit_marks(cross, one) +
           svg_element("text", {attr("x", "16"), attr("y", "9")},
                       "no fit (values at or below the bound): not drawn") +
           "\n";
  }
  if (table.compared) {
    svg +=
        other_best_marker(300, 5) +
        svg_element("text", {attr("x", "308"), attr("y", "9")}, "another mode fits better (AIC)") +
        "\n";
  }
  if (table.with_intervals) {
    const double x = table.compared ? 500 : unfitted ? 300 : 0;
    svg +=
        svg_element("rect", {attr("x", x), attr("width", "22"), attr("height", "10"),
                             attr("fill", kIntervalFill), attr("fill-opacity", kIntervalOpacity)}) +
        svg_element("text", {attr("x", x + 28), attr("y", "9")},
                    "confidence interval of the fitted 5, 50 and 95 % (--ci)") +
        "\n";
  }
  return svg + "</g>\n";
}

}  // namespace

std::string fit_text(const std::string& text, size_t max_chars) {
  const auto is_continuation = [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
  };
  size_t chars = 0;
  size_t cut = text.size();  // where the first max_chars - 1 characters end
  for (size_t i = 0; i < text.size(); ++i) {
    if (is_continuation(text[i])) continue;
    if (chars + 1 == max_chars) cut = i;
    ++chars;
  }
  if (chars <= max_chars || max_chars == 0) return text;
  return text.substr(0, cut) + "\u2026";
}

std::vector<std::string> wrap_text(const std::string& text, size_t width, size_t lines) {
  std::vector<std::string> wrapped;
  std::string_view rest = text;
  while (!rest.empty() && wrapped.size() < lines && width > 0) {
    if (rest.size() <= width) {
      wrapped.emplace_back(rest);
      rest = {};
      break;
    }
    // The last "; " that fits ends the line, else the last blank, else the line is cut.
    size_t cut = rest.substr(0, width + 1).rfind("; ");
    size_t skip = 2;
    if (cut == std::string_view::npos || cut == 0) {
      cut = rest.substr(0, width + 1).rfind(' ');
      skip = 1;
    }
    if (cut == std::string_view::npos || cut == 0) cut = width, skip = 0;
    wrapped.emplace_back(rest.substr(0, cut + (skip == 2 ? 1 : 0)));
    rest.remove_prefix(std::min(rest.size(), cut + skip));
  }
  if (!rest.empty() && !wrapped.empty())
    wrapped.back() = fit_text(wrapped.back() + " " + std::string(rest), width);
  return wrapped;
}

std::string chart_title(const std::string& report_title) {
  constexpr std::string_view kFrom = "values from";
  const size_t from = report_title.find(kFrom);
  const size_t after = from + kFrom.size();
  if (from == std::string::npos || after >= report_title.size() || report_title[after] == ' ') {
    return report_title;
  }
  return report_title.substr(0, after) + " " + report_title.substr(after);
}

std::string render_chart(const Report& report, const std::vector<int>& columns,
                         const FigureTable* table, const ChartOptions& options) {
  const size_t panels = columns.size();
  const size_t per_row = std::max<size_t>(std::min(panels, kPanelsPerRow), 1);
  const size_t rows = (panels + per_row - 1) / per_row;
  // The legend's first row ends at about 600, or 720 with the sample's entry.
  const double least_width = table != nullptr && table->sampled ? 720.0 : 600.0;
  const double width = std::max(2 * kChartLeft + double(per_row) * kPanelWidth, least_width);
  const double height = kChartTop + double(rows) * kPanelHeight + 10;
  const size_t title_chars = static_cast<size_t>((width - 2 * kChartLeft - 12) / kTitleGlyphWidth);
  const std::string size = format_number(width) + " " + format_number(height);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += svg_open("svg",
                  {attr("xmlns", "http://www.w3.org/2000/svg"), attr("version", "1.1"),
                   attr("width", width), attr("height", height), attr("viewBox", "0 0 " + size),
                   attr("font-family", "Helvetica, Arial, sans-serif"), attr("font-size", "11")}) +
         "\n";
  const std::string title = options.title.empty() ? chart_title(report.title) : options.title;
  svg += svg_element("title", {}, title) + "\n";
  svg +=
      svg_element("rect", {attr("width", "100%"), attr("height", "100%"), attr("fill", "white")}) +
      "\n";
  svg += svg_element("text",
                     {attr("class", "title"), attr("x", kChartLeft + 6), attr("y", "24"),
                      attr("font-size", "14")},
                     fit_text(title, title_chars)) +
         "\n";
  svg += legend(table != nullptr, table != nullptr && table->checked,
                table != nullptr && table->sampled);
  if (table != nullptr) svg += second_legend(*table);
  for (size_t i = 0; i < panels; ++i) {
    const double x = kChartLeft + double(i % per_row) * kPanelWidth;
    const double y = kChartTop + double(i / per_row) * kPanelHeight;
    svg += render_panel(report.columns[size_t(columns[i] - 1)], columns[i], table, options, x, y);
  }
  return svg + "</svg>\n";
}

}  // namespace pctlfit::plot
