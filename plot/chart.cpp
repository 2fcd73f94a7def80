#include "plot/chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

// A month fitted from fewer values than this is marked: its percentiles rest on almost nothing.
constexpr uint64_t kFewValues = 3;
// Average glyph widths, for fitting text into a width without measuring it.
constexpr double kTitleGlyphWidth = 14 * 0.55;
constexpr double kPanelTitleGlyphWidth = 11 * 0.62;  // bold

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

std::string stroke_attributes(const LineStyle& style) {
  std::string text =
      "stroke=\"" + std::string(style.colour) + "\" stroke-width=\"" + style.width + "\"";
  if (style.dash != nullptr) text += " stroke-dasharray=\"" + std::string(style.dash) + "\"";
  return text;
}

// A month without values shows min above max (the empty sample's +-1e100 or inf and 0).
bool has_values(const std::array<double, kFigures>& month) { return month[kMin] <= month[kMax]; }

bool usable(const std::array<double, kFigures>& month, Figure figure) {
  return has_values(month) && std::isfinite(month[figure]);
}

std::string number(double value, int decimals = 1) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string number_text(double value) { return number(value, 1); }

std::string points_text(const std::vector<Point>& points) {
  std::string text;
  for (const Point& p : points) {
    if (!text.empty()) text += ' ';
    text += number(p.x) + "," + number(p.y);
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
// table's counts the two look alike in the report (an infinite minimum).
std::string gap_note(const ColumnFigures& column, const std::array<uint64_t, 12>* counts) {
  std::vector<int> empty;
  std::vector<int> no_fit;
  std::vector<int> non_finite;
  for (int m = 0; m < 12; ++m) {
    const auto& month = column.months[size_t(m)];
    if (!has_values(month)) {
      (counts != nullptr && (*counts)[size_t(m)] > 0 ? no_fit : empty).push_back(m);
    } else if (!std::all_of(month.begin(), month.end(),
                            [](double v) { return std::isfinite(v); })) {
      non_finite.push_back(m);
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
  std::string note;
  for (const std::string& part : parts) note.append(note.empty() ? "" : "; ").append(part);
  return note;
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

PanelShapes panel_shapes(const ColumnFigures& column, double left, double top, double width,
                         double height) {
  PanelShapes shapes;
  double low = INFINITY, high = -INFINITY;
  for (const auto& month : column.months) {
    for (int f = 0; f < kFigures; ++f) {
      if (!usable(month, Figure(f))) continue;
      low = std::min(low, month[size_t(f)]);
      high = std::max(high, month[size_t(f)]);
    }
  }
  if (low > high) low = 0, high = 1;  // nothing to draw
  shapes.ticks = nice_ticks(low, high);
  shapes.frame = {left, top, width, height, shapes.ticks.front(), shapes.ticks.back()};
  const Frame& frame = shapes.frame;
  const auto at = [&](int m, double value) {
    return Point{frame_x(frame, m), frame_y(frame, value)};
  };
  for (const auto& [first, last] : runs_of([&](int m) {
         return usable(column.months[size_t(m)], kP5) && usable(column.months[size_t(m)], kP95);
       })) {
    std::vector<Point> polygon;
    for (int m = first; m <= last; ++m) polygon.push_back(at(m, column.months[size_t(m)][kP95]));
    for (int m = last; m >= first; --m) polygon.push_back(at(m, column.months[size_t(m)][kP5]));
    shapes.band.push_back(polygon);
  }
  for (size_t l = 0; l < std::size(kLineStyles); ++l) {
    const Figure figure = kLineStyles[l].figure;
    for (const auto& [first, last] :
         runs_of([&](int m) { return usable(column.months[size_t(m)], figure); })) {
      std::vector<Point> line;
      for (int m = first; m <= last; ++m) line.push_back(at(m, column.months[size_t(m)][figure]));
      shapes.lines[l].push_back(line);
    }
  }
  shapes.note = gap_note(column, nullptr);
  return shapes;
}

std::string escape_xml(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        escaped += (static_cast<unsigned char>(c) < 0x20 && c != '\t') ? ' ' : c;
    }
  }
  return escaped;
}

namespace {

// "SB042 · column 42" with a heading, "Column 42" without; shortened to the panel's width.
std::string panel_title(int column_number, const std::string& heading, double left, double y) {
  const std::string number = std::to_string(column_number);
  const std::string text =
      heading.empty() ? "Column " + number : heading + " \u00b7 column " + number;
  const size_t fitting = static_cast<size_t>((kPanelWidth - 20) / kPanelTitleGlyphWidth);
  return "<text class=\"panel-title\" x=\"" + number_text(left + kAreaWidth / 2) + "\" y=\"" +
         number_text(y + 18) + "\" text-anchor=\"middle\" font-weight=\"bold\">" +
         escape_xml(fit_text(text, fitting)) + "</text>\n";
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
    svg += "<rect class=\"sparse\" x=\"" + number_text(left) + "\" y=\"" + number_text(frame.top) +
           "\" width=\"" + number_text(right - left) + "\" height=\"" + number_text(frame.height) +
           "\" fill=\"" + kSparseFill + "\"/>\n";
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
    svg += "<line x1=\"" + number_text(frame.left) + "\" x2=\"" +
           number_text(frame.left + frame.width) + "\" y1=\"" + number_text(ty) + "\" y2=\"" +
           number_text(ty) + "\" stroke=\"" + kGridColour + "\"/>\n";
    svg += "<text class=\"tick\" x=\"" + number_text(frame.left - 5) + "\" y=\"" +
           number_text(ty + 4) + "\" text-anchor=\"end\">" + number(tick, decimals) + "</text>\n";
  }
  for (int m = 0; m < 12; ++m) {
    svg += "<text class=\"month\" x=\"" + number_text(frame_x(frame, m)) + "\" y=\"" +
           number_text(frame.top + frame.height + 15) + "\" text-anchor=\"middle\">" +
           kMonthInitials[m] + "</text>\n";
  }
  return svg;
}

std::string band_polygons(const PanelShapes& shapes) {
  std::string svg;
  for (const auto& polygon : shapes.band) {
    svg += "<polygon class=\"band\" points=\"" + points_text(polygon) + "\" fill=\"" + kBandFill +
           "\" fill-opacity=\"0.7\" stroke=\"" + kBandEdge + "\" stroke-width=\"0.5\"/>\n";
  }
  return svg;
}

// The median, minimum and maximum lines; a lone month between gaps is a dot, or it would not show.
std::string figure_lines(const PanelShapes& shapes) {
  std::string svg;
  for (size_t l = 0; l < std::size(kLineStyles); ++l) {
    const LineStyle& style = kLineStyles[l];
    for (const auto& line : shapes.lines[l]) {
      svg += "<polyline class=\"" + std::string(style.css_class) + "\" points=\"" +
             points_text(line) + "\" fill=\"none\" " + stroke_attributes(style) + "/>\n";
      if (line.size() != 1) continue;
      svg += "<circle class=\"" + std::string(style.css_class) + "-dot\" cx=\"" +
             number_text(line[0].x) + "\" cy=\"" + number_text(line[0].y) + "\" r=\"2.5\" fill=\"" +
             style.dot_fill + "\" stroke=\"" + style.colour + "\" stroke-width=\"1\"/>\n";
    }
  }
  return svg;
}

std::string frame_and_note(const PanelShapes& shapes) {
  const Frame& frame = shapes.frame;
  std::string svg = "<rect x=\"" + number_text(frame.left) + "\" y=\"" + number_text(frame.top) +
                    "\" width=\"" + number_text(frame.width) + "\" height=\"" +
                    number_text(frame.height) + "\" fill=\"none\" stroke=\"" + kFrameColour +
                    "\"/>\n";
  if (!shapes.note.empty()) {
    svg += "<text class=\"note\" x=\"" + number_text(frame.left) + "\" y=\"" +
           number_text(frame.top + frame.height + 34) + "\" font-size=\"10\" fill=\"" +
           kNoteColour + "\">" + escape_xml(shapes.note) + "</text>\n";
  }
  return svg;
}

// The value axis's label, turned to read upwards, left of the tick values.
std::string axis_label(const std::string& ylabel, double x, const Frame& frame) {
  if (ylabel.empty()) return {};
  const double middle = frame.top + frame.height / 2;
  return "<text class=\"ylabel\" transform=\"translate(" + number_text(x + 10) + "," +
         number_text(middle) + ") rotate(-90)\" text-anchor=\"middle\" font-size=\"10\">" +
         escape_xml(fit_text(ylabel, 24)) + "</text>\n";
}

std::string render_panel(const ColumnFigures& column, int column_number, const FigureTable* table,
                         const std::string& ylabel, double x, double y) {
  const double left = x + kAreaLeft, top = y + kAreaTop;
  PanelShapes shapes = panel_shapes(column, left, top, kAreaWidth, kAreaHeight);
  const size_t index = size_t(column_number - 1);
  const bool known = table != nullptr && index < table->counts.size();
  if (known) shapes.note = gap_note(column, &table->counts[index]);
  const std::vector<int> sparse = known ? sparse_months(table->counts[index]) : std::vector<int>{};
  if (!sparse.empty()) {
    shapes.note += (shapes.note.empty() ? "" : "; ") +
                   ("fewer than " + std::to_string(kFewValues) + " values: " + month_names(sparse));
  }
  return "<g class=\"panel\" id=\"column-" + std::to_string(column_number) + "\">\n" +
         panel_title(column_number, known ? table->headings[index] : "", left, y) +
         sparse_marks(shapes.frame, sparse) + axes(shapes) + axis_label(ylabel, x, shapes.frame) +
         band_polygons(shapes) + figure_lines(shapes) + frame_and_note(shapes) + "</g>\n";
}

std::string legend(bool with_table) {
  std::string svg =
      "<g class=\"legend\" transform=\"translate(" + number_text(kChartLeft + 6) +
      ",36)\">\n<rect width=\"22\" height=\"10\" fill=\"" + kBandFill +
      "\" fill-opacity=\"0.7\"/><text x=\"28\" y=\"9\">5 % to 95 %</text>\n" +
      "<line x1=\"110\" x2=\"132\" y1=\"5\" y2=\"5\" " + stroke_attributes(kLineStyles[0]) +
      "/><text x=\"138\" y=\"9\">median</text>\n" +
      "<line x1=\"200\" x2=\"222\" y1=\"5\" y2=\"5\" " + stroke_attributes(kLineStyles[1]) +
      "/><text x=\"228\" y=\"9\">minimum and maximum</text>\n";
  if (with_table) {
    svg += "<rect x=\"360\" width=\"22\" height=\"10\" fill=\"" + std::string(kSparseFill) +
           "\"/><text x=\"388\" y=\"9\">fewer than " + std::to_string(kFewValues) +
           " values</text>\n";
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
                         const FigureTable* table, const std::string& ylabel) {
  const size_t panels = columns.size();
  const size_t per_row = std::max<size_t>(std::min(panels, kPanelsPerRow), 1);
  const size_t rows = (panels + per_row - 1) / per_row;
  const double width = std::max(2 * kChartLeft + double(per_row) * kPanelWidth, 600.0);
  const double height = kChartTop + double(rows) * kPanelHeight + 10;
  const size_t title_chars = static_cast<size_t>((width - 2 * kChartLeft - 12) / kTitleGlyphWidth);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + number_text(width) +
         "\" height=\"" + number_text(height) + "\" viewBox=\"0 0 " + number_text(width) + " " +
         number_text(height) +
         "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"11\">\n";
  const std::string title = chart_title(report.title);
  svg += "<title>" + escape_xml(title) + "</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += "<text class=\"title\" x=\"" + number_text(kChartLeft + 6) +
         "\" y=\"24\" font-size=\"14\">" + escape_xml(fit_text(title, title_chars)) + "</text>\n";
  svg += legend(table != nullptr);
  for (size_t i = 0; i < panels; ++i) {
    const double x = kChartLeft + double(i % per_row) * kPanelWidth;
    const double y = kChartTop + double(i / per_row) * kPanelHeight;
    svg += render_panel(report.columns[size_t(columns[i] - 1)], columns[i], table, ylabel, x, y);
  }
  return svg + "</svg>\n";
}

}  // namespace pctlfit::plot
