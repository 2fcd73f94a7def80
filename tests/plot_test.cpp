#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "plot/chart.h"
#include "plot/plot_run.h"
#include "plot/report_file.h"
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
  EXPECT_EQ(shapes.note, "no values: Jun, Dec; non-finite: Mar");
  for (double tick : shapes.ticks) EXPECT_LT(tick, 100.0);  // 1e100 never sets the scale
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
  EXPECT_EQ(chart_name("dir.x/runs.sta"), "dir.x/runs.svg");
  EXPECT_EQ(chart_name("runs"), "runs.svg");
}

TEST_F(PlotRun, ChartIsWellFormedXml) {
  if (std::system("command -v xmllint > /dev/null") != 0) GTEST_SKIP() << "xmllint not installed";
  test::write_file("r.sta", hand_made_report(3));
  ASSERT_EQ(run({"r.sta"}), 0);
  EXPECT_EQ(std::system("xmllint --noout r.svg"), 0);
}

TEST_F(PlotRun, AtMostSixtyPanels) {
  test::write_file("r.sta", hand_made_report(61));
  std::string err;
  ASSERT_EQ(run({"r.sta"}, &err), 0);
  EXPECT_EQ(err, "pctlfit-plot: drawing the first 60 of 61 columns; name columns to draw others\n");
  EXPECT_EQ(count(test::read_file("r.svg"), "<g class=\"panel\""), 60u);
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
  EXPECT_EQ(err.rfind("usage: pctlfit-plot REPORT.sta [COLUMN ...]\n", 0), 0u);
  EXPECT_FALSE(std::filesystem::exists("r.svg"));
}

}  // namespace
}  // namespace pctlfit::plot
