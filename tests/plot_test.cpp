#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "plot/chart.h"
#include "plot/column_selection.h"
#include "plot/figure_table.h"
#include "plot/plot_run.h"
#include "plot/report_file.h"
#include "report/table_columns.h"
#include "test_util.h"

namespace pctlfit::plot {
namespace {

// A report of `columns` columns whose figures in month m (1-based) are m-1, m-0.5, m, m+0.5, m+1.
std::string hand_made_report(int columns, const std::string& title = "Percentiles for test") {
  std::string text = "MM";
  for (int j = 1; j <= columns; ++j) {
    text += "\t" + std::to_string(j) + "_Min\t" + std::to_string(j) + "_5%\t" + std::to_string(j) +
            "_50%\t" + std::to_string(j) + "_95%\t" + std::to_string(j) + "_Max";
  }
  text += "\n" + title + " \n";
  for (int m = 1; m <= 12; ++m) {
    text += std::to_string(m);
    for (int j = 1; j <= columns; ++j) {
      for (double offset : {-1.0, -0.5, 0.0, 0.5, 1.0}) {
        char cell[32];
        std::snprintf(cell, sizeof cell, "\t%.2f", m + offset);
        text += cell;
      }
    }
    text += "\n";
  }
  return text;
}

Report parsed(const std::string& text) {
  Report report;
  std::string error;
  EXPECT_TRUE(parse_report(text, "r.sta", report, error)) << error;
  return report;
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(PlotReport, ReadsTheExampleReport) {
  const Report report = parsed(test::read_file(PCTLFIT_SOURCE_DIR "/examples/members.sta"));
  ASSERT_EQ(report.columns.size(), 5u);
  EXPECT_EQ(report.title.rfind("Percentiles for Log-Gaussian distribution (LN2)", 0), 0u);
  const std::string svg = render_chart(report, {1, 2, 3, 4, 5});
  EXPECT_EQ(count(svg, "<g class=\"panel\""), 5u);
  EXPECT_EQ(count(svg, "<polyline class=\"median\""), 5u);
  EXPECT_EQ(count(svg, "<polygon class=\"band\""), 5u);
  // Every line of a report without gaps has twelve points; a band goes there and back.
  for (size_t at = svg.find("points=\""); at != std::string::npos;
       at = svg.find("points=\"", at + 1)) {
    const std::string points = svg.substr(at + 8, svg.find('"', at + 8) - at - 8);
    const bool band = svg.compare(svg.rfind('<', at), 8, "<polygon") == 0;
    EXPECT_EQ(count(points, ","), band ? 24u : 12u) << points;
  }
}

TEST(PlotChart, BandVerticesAtTheirCoordinates) {
  const Report report = parsed(hand_made_report(1));
  // Values 0 .. 13 give ticks 0, 5, 10, 15; the area is 110 wide and 150 high, so a month is
  // 10 to the right and a unit 10 up.
  const PanelShapes shapes = panel_shapes(report.columns[0], 0, 0, 110, 150);
  ASSERT_EQ(shapes.ticks, (std::vector<double>{0, 5, 10, 15}));
  ASSERT_EQ(shapes.band.size(), 1u);
  const std::vector<Point>& band = shapes.band[0];
  ASSERT_EQ(band.size(), 24u);
  for (int m = 0; m < 12; ++m) {
    SCOPED_TRACE(m);
    EXPECT_DOUBLE_EQ(band[size_t(m)].x, m * 10.0);  // 95 %, forward
    EXPECT_DOUBLE_EQ(band[size_t(m)].y, 150 - (m + 1.5) * 10);
    EXPECT_DOUBLE_EQ(band[size_t(23 - m)].x, m * 10.0);  // 5 %, back
    EXPECT_DOUBLE_EQ(band[size_t(23 - m)].y, 150 - (m + 0.5) * 10);
  }
  for (const auto& line : shapes.lines) {
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(line[0].size(), 12u);
  }
  EXPECT_EQ(shapes.note, "");
}

TEST(PlotChart, NonFiniteFiguresLeaveGapsAndANote) {
  Report report = parsed(hand_made_report(1));
  auto& months = report.columns[0].months;
  months[2][kP50] = NAN;                        // March: median not finite
  months[11] = {INFINITY, 1.0, 1.0, 1.0, 0.0};  // December: no values (LN2 empty)
  months[5] = {1e100, 0.0, 0.0, 0.0, -1e100};   // June: no values (NV empty)
  const PanelShapes shapes = panel_shapes(report.columns[0], 0, 0, 110, 150);
  ASSERT_EQ(shapes.lines[0].size(), 3u);  // median: Jan-Feb, Apr-May, Jul-Nov
  EXPECT_EQ(shapes.lines[0][0].size(), 2u);
  EXPECT_EQ(shapes.lines[0][1].size(), 2u);
  EXPECT_EQ(shapes.lines[0][2].size(), 5u);
  ASSERT_EQ(shapes.band.size(), 2u);  // Jan-May, Jul-Nov
  // Without the figure table a month with values all at or below the bound looks the same.
  EXPECT_EQ(shapes.note, "no values or no fit: Jun, Dec; non-finite: Mar");
  for (double tick : shapes.ticks) EXPECT_LT(tick, 100.0);  // 1e100 never sets the scale
}

// A table of a run with --sample: its sample 5, 50 and 95 % are read and drawn over the band, a
// marker a figure, none for a month without values; a table without them draws none.
TEST(PlotTable, SamplePercentilesAreDrawn) {
  test::TempDir dir;
  test::ScopedChdir inside(dir.path);
  test::write_file("a.dat", "t\nYYYY MM DD H\tQ1\nu\n2001 1 1 0 1\n2001 1 1 0 3\n2001 1 1 0 2\n");
  test::write_file("list.txt", "a.dat\n");
  for (const bool sampled : {true, false}) {
    SCOPED_TRACE(sampled);
    std::vector<std::string> args = {"-q", "--table", "t.csv", "list.txt"};
    if (sampled) args.insert(args.begin(), "--sample");
    ASSERT_EQ(test::run_in_process(args).status, 0);
    FigureTable table;
    std::string error;
    ASSERT_TRUE(parse_figure_table(test::read_file("t.csv"), "t.csv", table, error)) << error;
    EXPECT_EQ(table.sampled, sampled);
    const Report report = parsed(test::read_file("list.sta"));
    const std::string svg = render_chart(report, {1}, &table);
    EXPECT_EQ(count(svg, "class=\"sample-median\""), sampled ? 2u : 0u);  // legend, January
    EXPECT_EQ(count(svg, "class=\"sample\""), sampled ? 4u : 0u);
    if (sampled) {
      EXPECT_EQ(table.sample[0][0][1], 2.0);
    }
  }
}

// A table of a run with --ci: each fitted line's interval is a band over the months that have
// one (a polygon per line and run of months), inside the axis; a table without them draws none.
TEST(PlotTable, FittedIntervalsAreDrawnAsBands) {
  test::TempDir dir;
  test::ScopedChdir inside(dir.path);
  test::write_file("a.dat", test::data_file(1,
                                            "2001 1 1 0 1\n2001 1 1 0 3\n2001 1 1 0 2\n"
                                            "2001 2 1 0 5\n2001 2 1 0 3\n2001 2 1 0 4\n"
                                            "2001 3 1 0 1\n"));
  test::write_file("list.txt", "a.dat\n");
  for (const bool intervals : {true, false}) {
    SCOPED_TRACE(intervals);
    std::vector<std::string> args = {"-q", "--table", "t.csv", "list.txt"};
    if (intervals) args.insert(args.begin(), "--ci=99");
    ASSERT_EQ(test::run_in_process(args).status, 0);
    FigureTable table;
    std::string error;
    ASSERT_TRUE(parse_figure_table(test::read_file("t.csv"), "t.csv", table, error)) << error;
    EXPECT_EQ(table.with_intervals, intervals);
    const Report report = parsed(test::read_file("list.sta"));
    const std::string svg = render_chart(report, {1}, &table);
    EXPECT_EQ(count(svg, "class=\"interval\""), intervals ? 3u : 0u);  // January to February
    EXPECT_EQ(count(svg, "confidence interval of the fitted"), intervals ? 1u : 0u);
    if (!intervals) continue;
    EXPECT_TRUE(std::isnan(table.intervals[0][2][5]));  // March: one value
    // The axis reaches the highest end, far above the 95 % figure at 99 % and three values.
    const double highest = std::max(table.intervals[0][0][5], table.intervals[0][1][5]);
    const PanelShapes shapes = panel_shapes(report.columns[0], 0, 0, 100, 100, false, {highest});
    EXPECT_GE(shapes.ticks.back(), highest);
    EXPECT_NE(svg.find(std::to_string(int(shapes.ticks.back()))), std::string::npos);
  }
}

// Notes are broken at "; ", then at blanks, into at most so many lines, the last cut with an
// ellipsis when text is left.
TEST(PlotChart, NotesWrapInsideThePanel) {
  struct Case {
    std::string text;
    size_t width, lines;
    std::vector<std::string> wrapped;
  };
  const Case cases[] = {
      {"", 10, 3, {}},
      {"short", 10, 3, {"short"}},
      {"no values: Jan; misfit: Feb", 16, 3, {"no values: Jan;", "misfit: Feb"}},
      {"one two three four", 9, 3, {"one two", "three", "four"}},
      {"abcdefghijkl", 5, 3, {"abcde", "fghij", "kl"}},  // a word longer than a line is cut
      {"a; b; c; d; e; f", 4, 2, {"a;", "b; \u2026"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(wrap_text(c.text, c.width, c.lines), c.wrapped);
  }
}

// A log axis's ticks: 1, 2 and 5 times powers of ten around the range, decades alone over many.
TEST(PlotChart, LogTicks) {
  const auto values = [](const std::vector<double>& ticks) {
    std::vector<long> out;
    for (double t : ticks) out.push_back(std::lround(std::pow(10.0, t)));
    return out;
  };
  EXPECT_EQ(values(log_ticks(std::log10(3.0), std::log10(40.0))),
            (std::vector<long>{2, 5, 10, 20, 50}));
  EXPECT_EQ(values(log_ticks(0, 2)), (std::vector<long>{1, 2, 5, 10, 20, 50, 100}));
  EXPECT_EQ(values(log_ticks(0, 6)), (std::vector<long>{1, 10, 100, 1000, 10000, 100000, 1000000}));
}

// --title replaces the report's title; --log draws log10 of the figures, names the months with
// figures at or below 0 and leaves them out.
TEST(PlotChart, TitleAndLogAxis) {
  Report report = parsed(hand_made_report(1, "values from a.dat"));
  for (auto& month : report.columns[0].months) month = {1, 2, 10, 50, 1000};
  report.columns[0].months[2] = {-1, 0, 1, 2, 3};  // March: at or below 0
  ChartOptions options;
  options.title = "Ensemble of 30 members, 1971\u20132000";
  options.log = true;
  const std::string svg = render_chart(report, {1}, nullptr, options);
  EXPECT_NE(svg.find("<title>Ensemble of 30 members, 1971\u20132000</title>"), std::string::npos);
  EXPECT_NE(svg.find(">figures at or below 0, off the log axis: Mar</text>"), std::string::npos);
  const PanelShapes shapes = panel_shapes(report.columns[0], 0, 0, 110, 150, true);
  EXPECT_LE(shapes.frame.low, 0.0);   // log10 of 1
  EXPECT_GE(shapes.frame.high, 3.0);  // log10 of 1000
  EXPECT_EQ(shapes.band.size(), 2u);  // January to February, April to December
  EXPECT_NE(svg.find(">1000</text>"), std::string::npos) << svg;
}

// The figure table's counts tell a month without values from one whose values all lie at or
// below the log-normal bound; the title reads "from NAME"; --ylabel labels each value axis.
TEST(PlotChart, NotesTitleAndValueAxis) {
  Report report =
      parsed(hand_made_report(1, "Percentiles for LN2 for monthly values froma.dat b.dat"));
  report.columns[0].months[5] = {INFINITY, 1.0, 1.0, 1.0, 0.0};   // June: 9 values, no fit
  report.columns[0].months[11] = {INFINITY, 1.0, 1.0, 1.0, 0.0};  // December: none
  FigureTable table;
  table.headings = {"Q1"};
  table.counts.push_back({});
  table.counts[0].fill(9);
  table.counts[0][11] = 0;
  ChartOptions options;
  options.ylabel = "m3/s";
  const std::string svg = render_chart(report, {1}, &table, options);
  // The note in lines that stay inside the panel.
  EXPECT_NE(svg.find(">no values: Dec;</text>"), std::string::npos);
  EXPECT_NE(svg.find(">no fit (values at or below the bound): Jun</text>"), std::string::npos);
  EXPECT_NE(svg.find("<title>Percentiles for LN2 for monthly values from a.dat b.dat</title>"),
            std::string::npos);
  EXPECT_EQ(count(svg, "rotate(-90)\" text-anchor=\"middle\" font-size=\"10\">m3/s</text>"), 1u);
  EXPECT_EQ(chart_title("values from a.dat"), "values from a.dat");  // already apart
  EXPECT_EQ(render_chart(report, {1}).find("class=\"ylabel\""), std::string::npos);
}

// A table's flags and best modes, read from the table a run writes: a month of zeros in LN2 is
// no data but a crossed gap named under the panel, and the best mode is noted with the months
// whose best is not the run's marked.
TEST(PlotChart, UnfittedMonthsAndBestModes) {
  test::TempDir dir;
  test::ScopedChdir inside(dir.path);
  std::string records;
  for (int r = 0; r < 240; ++r) {
    const int month = 1 + r % 12;
    const double normal = 100 + (r % 5 - 2) * 3 + (r % 7 - 3);
    records += "2001 " + std::to_string(month) + " 1 0 " +
               (month == 7 && r % 3 == 0 ? "0" : std::to_string(normal)) + "\n";
  }
  test::write_file("a.dat", "t\nYYYY MM DD H\tQ1\nu\n" + records);
  test::write_file("list.txt", "a.dat\n");
  ASSERT_EQ(test::run_in_process({"-q", "--compare-fits", "--table", "t.csv", "list.txt"}).status,
            0);
  FigureTable table;
  std::string error;
  ASSERT_TRUE(parse_figure_table(test::read_file("t.csv"), "t.csv", table, error)) << error;
  EXPECT_TRUE(table.no_fit[0][6]);
  EXPECT_FALSE(table.no_fit[0][5]);
  EXPECT_TRUE(table.compared);
  EXPECT_EQ(table.mode, "LN2");
  Report report;
  ASSERT_TRUE(parse_report(test::read_file("list.sta"), "list.sta", report, error)) << error;
  const std::string svg = render_chart(report, {1}, &table);
  EXPECT_EQ(count(svg, "class=\"no-fit\""), 2u);  // July, and the legend's
  EXPECT_NE(svg.find("no fit (values at or below the bound): Jul"), std::string::npos) << svg;
  EXPECT_NE(svg.find("best: "), std::string::npos);
  EXPECT_NE(svg.find("class=\"other-best\""), std::string::npos);
  // --fit=best: each panel names its families, and no month is marked as fitted by another,
  // since each month's figures are of its best.
  ASSERT_EQ(test::run_in_process({"-q", "--compare-fits", "--fit=best", "--table", "b.csv", "-o",
                                  "b.sta", "list.txt"})
                .status,
            0);
  ASSERT_TRUE(parse_figure_table(test::read_file("b.csv"), "b.csv", table, error)) << error;
  ASSERT_TRUE(table.with_families);
  ASSERT_TRUE(parse_report(test::read_file("b.sta"), "b.sta", report, error)) << error;
  const std::string best = render_chart(report, {1}, &table);
  EXPECT_NE(best.find("families: "), std::string::npos) << best;
  EXPECT_EQ(count(best, "class=\"other-best\""), 1u);  // the legend's
}

// A month alone between gaps would draw no line: each of its lines marks it with a dot.
TEST(PlotChart, LoneMonthsAreMarked) {
  Report report = parsed(hand_made_report(1));
  EXPECT_EQ(count(render_chart(report, {1}), "<circle"), 0u);  // no gaps, no dots
  for (int m : {0, 1, 3}) report.columns[0].months[size_t(m)] = {INFINITY, 1.0, 1.0, 1.0, 0.0};
  const std::string svg = render_chart(report, {1});  // March alone between empty months
  EXPECT_EQ(count(svg, "<circle"), 3u);               // median, minimum, maximum
  for (const char* line : {"median-dot", "min-dot", "max-dot"}) {
    const size_t dot = svg.find(std::string("<circle class=\"") + line + "\"");
    ASSERT_NE(dot, std::string::npos) << line;
    // At March: the month axis's initial of March stands at the same x.
    const std::string x = svg.substr(svg.find("cx=\"", dot) + 4, 5);
    EXPECT_NE(svg.find("x=\"" + x + "\" y=\""), std::string::npos) << line << " at " << x;
  }
}

TEST(PlotChart, TextIsEscaped) {
  EXPECT_EQ(escape_xml("a<b>&\"c\"'d'\x01"), "a&lt;b&gt;&amp;&quot;c&quot;&apos;d&apos; ");
  const std::string svg = render_chart(parsed(hand_made_report(1, "from <a&b>.dat")), {1});
  EXPECT_NE(svg.find("from &lt;a&amp;b&gt;.dat"), std::string::npos);
  EXPECT_EQ(svg.find("<a&b>"), std::string::npos);
}

TEST(PlotChart, NiceTicks) {
  struct Case {
    double low, high;
    std::vector<double> ticks;
  };
  const Case cases[] = {
      {0, 13, {0, 5, 10, 15}},
      {0.2, 0.9, {0.2, 0.4, 0.6, 0.8, 1.0}},
      {-3, 7, {-5, 0, 5, 10}},
      {5, 5, {4.5, 5, 5.5}},  // a flat line still gets a scale
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.high);
    const auto ticks = nice_ticks(c.low, c.high);
    ASSERT_EQ(ticks.size(), c.ticks.size());
    for (size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-12);
  }
}

class PlotRun : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::ScopedChdir into{dir.path};
  int run(const std::vector<std::string>& args, std::string* err = nullptr) {
    std::FILE* out = std::tmpfile();
    std::FILE* err_file = std::tmpfile();
    const int status = run_plot(args, out, err_file);
    test::read_stream(out);
    const std::string err_text = test::read_stream(err_file);
    if (err != nullptr) *err = err_text;
    return status;
  }
};

TEST_F(PlotRun, WritesTheChartBesideTheReport) {
  test::write_file("r.sta", hand_made_report(3));
  ASSERT_EQ(run({"r.sta", "3", "1"}), 0);
  const std::string svg = test::read_file("r.svg");
  EXPECT_EQ(count(svg, "<g class=\"panel\""), 2u);
  EXPECT_NE(svg.find("id=\"column-3\""), std::string::npos);
  EXPECT_EQ(run({"--version"}), 0);  // never "cannot read --version"
  EXPECT_EQ(run({"-h"}), 0);
  EXPECT_EQ(chart_name("dir.x/runs.sta"), "dir.x/runs.svg");
  EXPECT_EQ(chart_name("runs"), "runs.svg");
}

TEST_F(PlotRun, EveryColumnByDefault) {
  test::write_file("r.sta", hand_made_report(200));
  std::string err;
  ASSERT_EQ(run({"r.sta"}, &err), 0);
  EXPECT_EQ(err, "");
  const std::string svg = test::read_file("r.svg");
  EXPECT_EQ(count(svg, "<g class=\"panel\""), 200u);
  EXPECT_NE(svg.find("height=\"11674.0\""), std::string::npos);  // 50 rows of four panels
}

TEST(PlotColumns, NumbersRangesListsAndHeadings) {
  const std::vector<std::string> headings = {"SB001", "SB002", "a,b", "SB004", "SB002", ""};
  struct Case {
    std::vector<std::string> words;
    std::vector<int> columns;  // empty: refused
    std::string bad;
  };
  const Case cases[] = {
      {{}, {1, 2, 3, 4, 5, 6}, ""},
      {{"3", "1"}, {3, 1}, ""},
      {{"2-4"}, {2, 3, 4}, ""},
      {{"1,5,3-4"}, {1, 5, 3, 4}, ""},
      {{"SB004", "1"}, {4, 1}, ""},
      {{"SB002"}, {2, 5}, ""},  // a heading that two columns share
      {{"a,b"}, {3}, ""},       // a heading with a comma is taken whole
      {{"SB001,6"}, {1, 6}, ""},
      {{"7"}, {}, "7"},  // beyond the last column
      {{"0"}, {}, "0"},
      {{"4-2"}, {}, "4-2"},  // a range backwards
      {{"1,SB009"}, {}, "SB009"},
      {{"1,,2"}, {}, "1,,2"},
      {{"-3"}, {}, "-3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.empty() ? "(none)" : c.words[0]);
    std::vector<int> columns;
    std::string bad;
    EXPECT_EQ(select_columns(c.words, 6, headings, columns, bad), c.bad.empty());
    EXPECT_EQ(bad, c.bad);
    if (c.bad.empty()) {
      EXPECT_EQ(columns, c.columns);
    }
  }
  std::vector<int> columns;
  std::string bad;
  EXPECT_FALSE(select_columns({"SB001"}, 6, {}, columns, bad));  // no headings without a table
}

TEST(PlotChart, TitleFitsThePicture) {
  EXPECT_EQ(fit_text("abcdef", 6), "abcdef");
  EXPECT_EQ(fit_text("abcdefg", 6), "abcde\u2026");
  EXPECT_EQ(fit_text("M\u00fcller M\u00fcller", 8),
            "M\u00fcller \u2026");  // never inside a character
  const std::string title = "Percentiles for LN2 from " + std::string(500, 'm');
  const std::string svg = render_chart(parsed(hand_made_report(1, title)), {1});
  EXPECT_NE(svg.find("<title>" + title + "</title>"), std::string::npos);  // whole
  const size_t shown = svg.find("<text class=\"title\"");
  const std::string line = svg.substr(shown, svg.find("</text>", shown) - shown);
  EXPECT_NE(line.find("\u2026"), std::string::npos);
  EXPECT_LT(line.size(), 150u);  // about 75 characters fit 600 points at 14 points
}

TEST_F(PlotRun, BadInputWritesNothing) {
  const std::string good = hand_made_report(1);
  std::string wrong_fields = good;
  wrong_fields.replace(wrong_fields.find("\n3\t") + 1, 2, "3\t9\t");
  std::string not_a_number = good;
  not_a_number.replace(not_a_number.find("\n5\t") + 3, 4, "x.00");
  struct Case {
    const char* name;
    std::string text;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"wrong header", "M\t1_Min\n" + good, 2,
       "pctlfit-plot: r.sta:1: not a pctlfit report (expected MM, then J_Min, J_5%, J_50%, J_95%, "
       "J_Max for each column J)\n"},
      {"wrong number of fields", wrong_fields, 2,
       "pctlfit-plot: r.sta:5: expected 6 fields, found 7\n"},
      {"not a number", not_a_number, 2, "pctlfit-plot: r.sta:7: field 2 is not a number\n"},
      {"fewer than 12 rows", good.substr(0, good.find("\n11\t") + 1), 2,
       "pctlfit-plot: r.sta: only 10 of 12 month rows\n"},
      {"trailing text", good + "junk\n", 2,
       "pctlfit-plot: r.sta:15: unexpected line after the twelve month rows\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::write_file("r.sta", c.text);
    std::string err;
    EXPECT_EQ(run({"r.sta"}, &err), c.status);
    EXPECT_EQ(err, c.err);
    EXPECT_FALSE(std::filesystem::exists("r.svg"));
  }
  std::string err;
  EXPECT_EQ(run({"missing.sta"}, &err), 2);
  EXPECT_EQ(err, "pctlfit-plot: cannot read missing.sta\n");
  test::write_file("r.sta", good);
  EXPECT_EQ(run({"r.sta", "2"}, &err), 1);
  EXPECT_EQ(err, "pctlfit-plot: no column '2' in r.sta, which has columns 1 to 1\n");
  EXPECT_EQ(run({}, &err), 1);
  EXPECT_EQ(err.rfind("usage: pctlfit-plot [OPTIONS] [--] REPORT.sta [COLUMN ...]\n", 0), 0u);
  EXPECT_EQ(run({"--bogus", "r.sta"}, &err), 1);
  EXPECT_EQ(err, "pctlfit-plot: unknown option --bogus (pctlfit-plot --help lists the options)\n");
  EXPECT_EQ(run({"r.sta", "-o"}, &err), 1);  // after the report, a column word
  EXPECT_FALSE(std::filesystem::exists("r.svg"));
}

// A figure table for hand_made_report(columns): headings SB001 ..., n 2 in January, else 30;
// its figures are left empty, so that they are not held against the report's.
std::string hand_made_table(int columns) {
  std::string text =
      "column,heading,month,n,missing,at_or_below_bound,mean,sd,min,p5,p50,p95,max\n";
  for (int j = 1; j <= columns; ++j) {
    char heading[16];
    std::snprintf(heading, sizeof heading, "SB%03d", j);
    for (int m = 1; m <= 12; ++m) {
      text += std::to_string(j) + "," + heading + "," + std::to_string(m) + "," +
              (m == 1 ? "2" : "30") + ",0,0,1,1,,,,,\n";  // figures left empty
    }
  }
  return text;
}

TEST_F(PlotRun, ChartIsWellFormedXml) {
  if (std::system("command -v xmllint > /dev/null") != 0) GTEST_SKIP() << "xmllint not installed";
  test::write_file("r.sta", hand_made_report(3, "from <a&b> \"M\u00fcller\""));
  std::string table = hand_made_table(3);
  table.replace(table.find("SB002"), 5, "\"Q<2>&\"\"x\"\"\"");
  test::write_file("t.csv", table);
  ASSERT_EQ(run({"r.sta"}), 0);
  EXPECT_EQ(std::system("xmllint --noout r.svg"), 0);
  ASSERT_EQ(run({"--table", "t.csv", "r.sta"}), 0);
  EXPECT_EQ(std::system("xmllint --noout r.svg"), 0);
  EXPECT_NE(test::read_file("r.svg").find(">Q&lt;2&gt;&amp;&quot;x&quot; \u00b7 column 2<"),
            std::string::npos);
}

TEST_F(PlotRun, TableNamesThePanelsAndMarksSparseMonths) {
  test::write_file("r.sta", hand_made_report(3));
  test::write_file("t.csv", hand_made_table(3));
  std::string err;
  ASSERT_EQ(run({"--table", "t.csv", "-o", "chart.svg", "r.sta", "SB003,1"}, &err), 0) << err;
  const std::string svg = test::read_file("chart.svg");
  EXPECT_FALSE(std::filesystem::exists("r.svg"));
  EXPECT_NE(svg.find(">SB003 \u00b7 column 3</text>"), std::string::npos);
  EXPECT_LT(svg.find("id=\"column-3\""), svg.find("id=\"column-1\""));
  EXPECT_EQ(count(svg, "<rect class=\"sparse\""), 2u);  // January of both panels
  EXPECT_NE(svg.find("fewer than 3 values: Jan"), std::string::npos);

  EXPECT_EQ(run({"--table=t.csv", "r.sta", "SB009"}, &err), 1);
  EXPECT_EQ(err,
            "pctlfit-plot: no column 'SB009' in r.sta, which has columns 1 to 3 and their "
            "headings\n");
  test::write_file("t2.csv", hand_made_table(2));
  EXPECT_EQ(run({"--table=t2.csv", "r.sta"}, &err), 2);
  EXPECT_EQ(err, "pctlfit-plot: t2.csv has 2 columns, the report r.sta has 3\n");
  test::write_file("t3.csv", "not,a,table\n");
  EXPECT_EQ(run({"--table=t3.csv", "r.sta"}, &err), 2);
  EXPECT_EQ(err.rfind("pctlfit-plot: t3.csv:1: not a pctlfit figure table", 0), 0u);
}

// A table of another run than the report's is refused, naming the difference; a table of the
// same run is taken.
TEST_F(PlotRun, TableOfAnotherRunIsRefused) {
  std::string a, b;
  for (int year = 2001; year <= 2010; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const std::string date = std::to_string(year) + " " + std::to_string(month) + " 1 0 ";
      a += date + std::to_string(1 + year % 5 + month) + (year == 2001 ? " 0\n" : " 2\n");
      b += date + std::to_string(2 + year % 3 + month) + " 3\n";
    }
  }
  test::write_file("a.dat", test::data_file(2, a));
  test::write_file("b.dat", test::data_file(2, b));
  test::write_file("a.txt", "a.dat\n");
  test::write_file("b.txt", "b.dat\n");
  for (const char* args :
       {"-o nv.sta --table=nv.csv a.txt NV", "-o ln2.sta --table=ln2.csv a.txt",
        "-o z.sta --table=z.csv --zeros a.txt", "-o b.sta --table=b.csv b.txt"}) {
    std::vector<std::string> words = {"-q"};
    for (std::string rest = args; !rest.empty();) {
      const size_t blank = rest.find(' ');
      words.push_back(rest.substr(0, blank));
      rest = blank == std::string::npos ? "" : rest.substr(blank + 1);
    }
    ASSERT_EQ(test::run_in_process(words).status, 0) << args;
  }
  struct Case {
    const char* report;
    const char* table;
    std::string err;
  };
  const Case cases[] = {
      {"ln2.sta", "ln2.csv", ""},
      {"ln2.sta", "nv.csv",
       "pctlfit-plot: nv.csv is the table of a NV run, the report ln2.sta of a LN2 run\n"},
      {"ln2.sta", "z.csv",
       "pctlfit-plot: z.csv is the table of a run with --zeros, the report ln2.sta of one "
       "without\n"},
      {"ln2.sta", "b.csv",
       "pctlfit-plot: b.csv: column 1, month 1: min is 3.00 there, 2.00 in the report ln2.sta: "
       "the table of another run\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    std::string err;
    EXPECT_EQ(run({"--table", c.table, "-o", "chart.svg", c.report}, &err), c.err.empty() ? 0 : 2);
    EXPECT_EQ(err, c.err);
  }
  // Column 2 of the --zeros run has no fitted month in LN2 without it: its panel still shows
  // minimum, maximum and sample points, all inside its frame.
  ASSERT_EQ(
      test::run_in_process({"-q", "-o", "s.sta", "--table=s.csv", "--sample", "a.txt"}).status, 0);
  ASSERT_EQ(run({"--table", "s.csv", "-o", "s.svg", "s.sta", "2"}), 0);
  const std::string svg = test::read_file("s.svg");
  EXPECT_GE(count(svg, "class=\"sample"), 36u);  // 12 months x 3, and the legend's
  EXPECT_EQ(svg.find("y=\"-"), std::string::npos);
  EXPECT_NE(svg.find("class=\"max\""), std::string::npos) << svg;
}

TEST(PlotTable, CsvFieldsAsRfc4180) {
  using Records = std::vector<std::vector<std::string>>;
  EXPECT_EQ(parse_csv("a,\"b,c\",\"d \"\"e\"\"\"\r\n,\n"),
            (Records{{"a", "b,c", "d \"e\""}, {"", ""}}));
  EXPECT_EQ(parse_csv("x\n\"two\nlines\""), (Records{{"x"}, {"two\nlines"}}));
  EXPECT_EQ(parse_csv(""), Records{});
}

// A table that pctlfit writes is one that the chart reads: the one definition of its columns
// holds both ends together.
TEST(PlotTable, ReadsTheTablePctlfitWrites) {
  test::TempDir dir;
  test::ScopedChdir inside(dir.path);
  test::write_file("a.dat",
                   "t\nYYYY MM DD H\tUpper, left\t\"Outlet\"\nu\n"
                   "2001 1 1 0 1 2\n2001 1 1 0 3 -9999\n2001 7 1 0 5 6\n");
  test::write_file("list.txt", "a.dat\n");
  ASSERT_EQ(test::run_in_process({"-q", "--table", "t.csv", "list.txt"}).status, 0);
  FigureTable table;
  std::string error;
  ASSERT_TRUE(parse_figure_table(test::read_file("t.csv"), "t.csv", table, error)) << error;
  EXPECT_EQ(table.headings, (std::vector<std::string>{"Upper, left", "\"Outlet\""}));
  ASSERT_EQ(table.counts.size(), 2u);
  EXPECT_EQ(table.counts[0][0], 2u);
  EXPECT_EQ(table.counts[1][0], 1u);  // -9999 is missing, not pooled
  EXPECT_EQ(table.counts[0][6], 1u);
  EXPECT_EQ(table.counts[0][1], 0u);
}

// Tables of every version are read: as written now (with the run's mode and limit), before the
// mode's columns, and before the fit check's; the run's own mode and limit are in each row.
TEST(PlotTable, ReadsTablesOfEveryVersion) {
  test::TempDir dir;
  test::ScopedChdir inside(dir.path);
  test::write_file("a.dat", "t\nYYYY MM DD H\tQ1\nu\n2001 1 1 0 1\n2001 1 1 0 3\n");
  test::write_file("list.txt", "a.dat\n");
  struct Case {
    std::vector<std::string> args;
    std::string mode_and_limit;
  };
  const Case cases[] = {
      {{"list.txt", "NV"}, ",NV,,few"},
      {{"list.txt"}, ",LN2,,few"},
      {{"-l", "-2.25", "list.txt"}, ",LN3,-2.25,few"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-q", "--table", "t.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(test::run_in_process(args).status, 0);
    const std::string text = test::read_file("t.csv");
    const std::string first_row = text.substr(
        text.find('\n') + 1, text.find('\n', text.find('\n') + 1) - text.find('\n') - 1);
    EXPECT_TRUE(first_row.ends_with(c.mode_and_limit)) << first_row;
    std::vector<std::vector<std::string>> records = parse_csv(text);
    for (const size_t fields :
         {pctlfit::kTableColumns, pctlfit::kTableColumnsWithoutFlag,
          pctlfit::kTableColumnsWithoutMode, pctlfit::kTableColumnsWithoutCheck}) {
      SCOPED_TRACE(fields);
      std::string older;
      for (const auto& record : records) {
        for (size_t f = 0; f < fields; ++f) older += (f > 0 ? "," : "") + record[f];
        older += "\n";
      }
      FigureTable table;
      std::string error;
      EXPECT_TRUE(parse_figure_table(older, "t.csv", table, error)) << error;
      EXPECT_EQ(table.fields, fields);
    }
  }
}

}  // namespace
}  // namespace pctlfit::plot
