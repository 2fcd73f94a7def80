// --check-fit: counts below and above the fitted lines, skewness and misfits worked out by hand
// on small files, the binomial band, generated samples that suit the fit or do not, and a run
// whose report, status and standard output stay those of the run without the option.
#include "stats/fit_check.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "passes/check_pass.h"
#include "plot/figure_table.h"
#include "report/table_columns.h"
#include "test_util.h"

namespace pctlfit {
namespace {

// Exact sums of the binomial terms, worked out with integer binomial coefficients.
TEST(FitCheck, BinomialTails) {
  struct Case {
    uint64_t n, k;
    double at_most, at_least;
  };
  const Case cases[] = {
      {20, 0, 0.3584859224085419, 1.0},
      {20, 2, 0.9245163262115028, 0.2641604750561508},
      {300, 5, 0.002332138650100825, 0.9993091660128818},  // the band's lower edge
      {300, 6, 0.006579374400801467, 0.9976678613498992},
      {300, 25, 0.9950063421604011, 0.009348804278171308},
      {3000, 180, 0.9936390300499635, 0.00792377040584058},
      {2, 1, 0.9975, 0.0975},
      {2, 2, 1.0, 0.0025},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + " " + std::to_string(c.k));
    EXPECT_NEAR(binomial_at_most(c.n, c.k, 0.05), c.at_most, 1e-12);
    EXPECT_NEAR(binomial_at_least(c.n, c.k, 0.05), c.at_least, 1e-12);
  }
}

class CheckFit : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::ScopedChdir inside{dir.path};
  // The figure table's rows after a run with --check-fit, by column and month.
  std::vector<std::vector<std::string>> rows(const std::vector<std::string>& args,
                                             const std::string& input = "") {
    std::vector<std::string> all = {"-q", "--check-fit", "--table", "t.csv"};
    all.insert(all.end(), args.begin(), args.end());
    last = test::run_in_process(all, input);
    return plot::parse_csv(test::read_file("t.csv"));
  }
  test::RunResult last;
};

std::string row_of(const std::vector<std::vector<std::string>>& table, int column, int month) {
  const std::vector<std::string>& fields = table.at(size_t((column - 1) * 12 + month));
  const auto field = [&](TableColumn c) { return fields.at(index_of(c)); };
  return field(TableColumn::n) + " " + field(TableColumn::below_p5) + " " +
         field(TableColumn::above_p95) + " " + field(TableColumn::skew) + " " +
         field(TableColumn::misfit);
}

std::vector<double> two_points(size_t n) {
  std::vector<double> values;
  for (size_t i = 0; i < n; ++i) values.push_back(double(i % 2));
  return values;
}

// The sample skewness G1 of the transformed values, from their mean in a first pass and the
// central moments in a second: the textbook form, apart from the program's own sums.
double two_pass_skewness(const std::vector<double>& values, bool logarithms) {
  std::vector<double> x;
  for (double v : values) x.push_back(logarithms ? std::log(v) : v);
  const double n = double(x.size());
  double mean = 0;
  for (double v : x) mean += v / n;
  double m2 = 0, m3 = 0;
  for (double v : x) {
    m2 += (v - mean) * (v - mean) / n;
    m3 += (v - mean) * (v - mean) * (v - mean) / n;
  }
  return std::sqrt(n * (n - 1)) / (n - 2) * m3 / std::pow(m2, 1.5);
}

// Each month holds its values in one column; "n below above skew misfit" worked out by hand,
// the skewness ("G1") against two_pass_skewness.
TEST_F(CheckFit, CountsAndSkewnessByHand) {
  struct Case {
    const char* mode;
    std::vector<double> values;
    std::string expected;
  };
  const Case cases[] = {
      // mean 22, sd 43.62: lines -49.75 and 93.75.
      {"NV", {1, 2, 3, 4, 100}, "5 0 1 G1 0"},
      // Logarithms: lines 0.38 and 72.86.
      {"LN2", {1, 2, 4, 8, 64}, "5 0 0 G1 0"},
      // Two values: sd 0, both lines at the mean 2; no skewness below three values.
      {"NV", {1, 3}, "2 1 1  0"},
      // Equal values lie on both lines, neither below nor above; no skewness without spread.
      {"NV", {5, 5, 5}, "3 0 0  0"},
      // A value at the bound: no finite fit, no check.
      {"LN2", {0, 1, 2}, "3    "},
      {"LN3", {0.5, 1, 2}, "3    "},  // lower limit 0.5
      // 104 values of 0 and 1: none beyond either line, where a true 5 % line would leave
      // some (P(X = 0) = 0.95^104 < 0.005): a misfit, of tails too thin.
      {"NV", two_points(104), "104 0 0 0 1"},
  };
  for (const Case& c : cases) {
    std::string records;
    for (double v : c.values) records += "2001 1 1 0 " + std::to_string(v) + "\n";
    test::write_file("a.dat", test::data_file(1, records));
    test::write_file("list.txt", "a.dat\n");
    SCOPED_TRACE(std::string(c.mode) + " " + records.substr(0, 60));
    const bool ln3 = std::string(c.mode) == "LN3";
    const auto table = rows(ln3 ? std::vector<std::string>{"-l", "0.5", "list.txt"}
                                : std::vector<std::string>{"list.txt", c.mode});
    std::string row = row_of(table, 1, 1);
    const size_t g1 = c.expected.find("G1");
    if (g1 != std::string::npos) {
      const size_t skew_end = row.find(' ', g1);
      ASSERT_NE(skew_end, std::string::npos) << row;
      const double skew = std::stod(row.substr(g1, skew_end - g1));
      const double expected = two_pass_skewness(c.values, std::string(c.mode) == "LN2");
      EXPECT_NEAR(skew, expected, 1e-12 * std::fabs(expected));
      row.replace(g1, skew_end - g1, "G1");
    }
    EXPECT_EQ(row, c.expected);
    EXPECT_EQ(row_of(table, 1, 2), "0    ");  // an empty month
  }
}

// Gaussian numbers from the seed, the same on every platform.
std::vector<double> gaussians(uint64_t seed, size_t count) {
  std::mt19937_64 random(seed);
  std::vector<double> out;
  while (out.size() < count) {
    const double u1 = (double(random() >> 11) + 0.5) / 9007199254740992.0;
    const double u2 = double(random() >> 11) / 9007199254740992.0;
    out.push_back(std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2));
  }
  return out;
}

// Three members of 100 Januaries: a log-normal sample suits LN2; a normal one with a large
// spread does not (too few values below the 5 % line, too many above the 95 % one, or the other
// way round); the run names it on standard error.
TEST_F(CheckFit, GeneratedSamples) {
  const std::vector<double> z = gaussians(17, 600);
  std::string list;
  for (int member = 0; member < 3; ++member) {
    std::string records;
    for (int year = 0; year < 100; ++year) {
      const size_t i = size_t(member * 100 + year);
      const double log_normal = std::exp(1.0 + 0.5 * z[i]);
      const double normal = std::max(0.05, 10.0 + 4.5 * z[300 + i]);
      char line[128];
      std::snprintf(line, sizeof line, "%d 1 1 0 %.4f %.4f\n", 1901 + year, log_normal, normal);
      records += line;
    }
    const std::string name = "m" + std::to_string(member) + ".dat";
    test::write_file(name, test::data_file(2, records));
    list += name + "\n";
  }
  test::write_file("list.txt", list);
  const auto table = rows({"list.txt"});
  EXPECT_TRUE(row_of(table, 1, 1).ends_with(" 0")) << row_of(table, 1, 1);
  EXPECT_TRUE(row_of(table, 2, 1).ends_with(" 1")) << row_of(table, 2, 1);
  EXPECT_NE(last.err.find("pctlfit: fit check: 1 of 2 months outside the 99 % band of the 5 % "
                          "or 95 % line\npctlfit: fit check: column 2 (Q2), month 1: n = 300, "),
            std::string::npos)
      << last.err;
  // The chart reads the verdicts; without --check-fit the columns are there and empty.
  plot::FigureTable read;
  std::string error;
  ASSERT_TRUE(plot::parse_figure_table(test::read_file("t.csv"), "t.csv", read, error)) << error;
  EXPECT_TRUE(read.checked);
  EXPECT_TRUE(read.misfit[1][0]);
  EXPECT_FALSE(read.misfit[0][0]);
  const auto plain = test::run_in_process({"-o", "plain.sta", "--table", "plain.csv", "list.txt"});
  ASSERT_TRUE(plot::parse_figure_table(test::read_file("plain.csv"), "plain.csv", read, error));
  EXPECT_FALSE(read.checked);
  // Nothing else changes: the report, the status and standard output.
  const auto checked = test::run_in_process({"--check-fit", "list.txt"});
  EXPECT_EQ(checked.status, plain.status);
  EXPECT_EQ(checked.out, plain.out);
  EXPECT_EQ(test::read_file("list.sta"), test::read_file("plain.sta"));
}

// The second pass on several threads counts and sums the very same.
TEST_F(CheckFit, ThreadsGiveIdenticalCounts) {
  const std::vector<double> z = gaussians(3, 40 * 13 * 7);
  std::vector<std::string> entries;
  for (int f = 0; f < 4; ++f) {
    std::string records;
    for (int r = 0; r < 130; ++r) {
      records += "2001 " + std::to_string(r % 13) + " 1 0";
      for (int c = 0; c < 7; ++c) {
        records += " " + std::to_string(std::exp(z[size_t((f * 130 + r) % 520) * 7 + size_t(c)]));
      }
      records += "\n";
    }
    entries.push_back("f" + std::to_string(f) + ".dat");
    test::write_file(entries.back(), test::data_file(7, records));
  }
  StatsTable table = allocate_table(7);
  for (size_t i = 0; i < table.cells.size(); ++i) {
    table.cells[i].count = 10;
    table.cells[i].mean = 0.1 * double(i % 5);
    table.cells[i].std_dev = 0.8;
  }
  const Distribution dist{DistributionMode::LN2, 0.0};
  FitCheck one = prepare_fit_check(table, dist);
  FitCheck three = one;
  PassOptions options;
  options.block_size = 2048;
  options.min_bytes_for_threads = 0;
  ASSERT_FALSE(failed(check_data_files(entries, dist, one, options)));
  options.threads = 3;
  ASSERT_FALSE(failed(check_data_files(entries, dist, three, options)));
  for (size_t i = 0; i < one.cells.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(one.cells[i].below_p5, three.cells[i].below_p5);
    EXPECT_EQ(one.cells[i].above_p95, three.cells[i].above_p95);
    EXPECT_EQ(std::bit_cast<uint64_t>(one.cells[i].m3), std::bit_cast<uint64_t>(three.cells[i].m3));
  }
  EXPECT_GT(one.cells[0].m2, 0.0);
}

}  // namespace
}  // namespace pctlfit
