// --ci: the fitted intervals against noncentral t quantiles computed outside the project in
// arbitrary precision, the order statistics' ranks against the binomial sums they are defined
// by, the fitted intervals' cases, and the sample intervals of a run against a sort, bit for bit,
// kept and narrowed, plain and gzip, on 1 and 3 threads, by every method.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <random>

#define BOOST_MATH_DOMAIN_ERROR_POLICY ignore_error
#define BOOST_MATH_POLE_ERROR_POLICY ignore_error
#define BOOST_MATH_OVERFLOW_ERROR_POLICY ignore_error
#define BOOST_MATH_EVALUATION_ERROR_POLICY ignore_error
#define BOOST_MATH_ROUNDING_ERROR_POLICY ignore_error
#include <boost/math/distributions/non_central_t.hpp>

#include "compression_util.h"
#include "report/table_writer.h"
#include "stats/fitted_intervals.h"
#include "stats/normal_quantile.h"
#include "stats/quantile_interval.h"
#include "test_util.h"

namespace pctlfit {
namespace {

// t' / sqrt(n) at (1 -+ confidence) / 2, nu = n - 1, delta = z_p sqrt(n): the output of
// tests/reference/noncentral_t_quantiles.py (mpmath 1.3.0, 40 digits, from the distribution's
// definition as an integral over the chi-square density).
struct NoncentralCase {
  uint64_t n;
  double p;
  double confidence;
  double lo;
  double hi;
};
constexpr NoncentralCase kNoncentral[] = {
    {3, 0.05, 0.9, -7.6559001331533427127, -0.63914474540283461474},
    {3, 0.5, 0.9, -1.6858544608470491385, 1.6858544608470491385},
    {3, 0.95, 0.9, 0.63914474540283461474, 7.6559001331533427127},
    {4, 0.05, 0.9, -5.1438748609893019045, -0.74330428247971258403},
    {4, 0.5, 0.9, -1.1766817174009119388, 1.1766817174009119388},
    {4, 0.95, 0.9, 0.74330428247971258403, 5.1438748609893019045},
    {10, 0.05, 0.9, -2.9109634130781674863, -1.0172988383929407997},
    {10, 0.5, 0.9, -0.57968120755045615893, 0.57968120755045615893},
    {10, 0.95, 0.9, 1.0172988383929407997, 2.9109634130781674863},
    {30, 0.05, 0.9, -2.2198375320350564955, -1.2498068635890993754},
    {30, 0.5, 0.9, -0.3102167334996918768, 0.3102167334996918768},
    {30, 0.95, 0.9, 1.2498068635890993754, 2.2198375320350564955},
    {100, 0.05, 0.9, -1.926538850512315643, -1.4143319264980803296},
    {100, 0.5, 0.9, -0.16603911560169909039, 0.16603911560169909039},
    {100, 0.95, 0.9, 1.4143319264980803296, 1.926538850512315643},
    {500, 0.05, 0.9, -1.7630459136366598577, -1.5367132455235852234},
    {500, 0.5, 0.9, -0.073696909067240904104, 0.073696909067240904104},
    {500, 0.95, 0.9, 1.5367132455235852234, 1.7630459136366598577},
    {3000, 0.05, 0.9, -1.6917743357881132051, -1.5996020824361269604},
    {3000, 0.5, 0.9, -0.030040060515333371568, 0.030040060515333371568},
    {3000, 0.95, 0.9, 1.5996020824361269604, 1.6917743357881132051},
    {100000, 0.05, 0.9, -1.6528571890460578924, -1.6369001041211227824},
    {100000, 0.5, 0.9, -0.0052015320654979043286, 0.0052015320654979043286},
    {100000, 0.95, 0.9, 1.6369001041211227824, 1.6528571890460578924},
    {1000000, 0.05, 0.9, -1.6473791320217086531, -1.6423331257084532341},
    {1000000, 0.5, 0.9, -0.0016448551507235642661, 0.0016448551507235642661},
    {1000000, 0.95, 0.9, 1.6423331257084532341, 1.6473791320217086531},
    {3, 0.001, 0.99, -44.395639691340358356, -1.1015416762381763745},
    {3, 0.999, 0.5, 2.5444629671244894376, 5.805011687117942923},
    {30, 0.001, 0.99, -4.7071830016960961626, -2.2054336299604548078},
    {30, 0.999, 0.5, 2.8389849481339495226, 3.4534991322827762988},
    {500, 0.001, 0.99, -3.388437803828516624, -2.8315779166829185436},
    {500, 0.999, 0.5, 3.0207806849393976522, 3.166070389926057031},
    {3000, 0.001, 0.99, -3.206631312789782248, -2.9803899254746167293},
    {3000, 0.999, 0.5, 3.0611598388757741623, 3.120366365769577191},
};

// Within 1e-9 of the interval's scale up to 500 values and 1e-6 beyond, with a mean of 0 and an
// SD of 1 (the scale is then the factor itself, the strictest case).
TEST(QuantileInterval, NoncentralTAgreesWithArbitraryPrecision) {
  for (const NoncentralCase& c : kNoncentral) {
    SCOPED_TRACE("n " + std::to_string(c.n) + " p " + std::to_string(c.p));
    const QuantileFactors f = normal_quantile_factors(c.n, normal_quantile(c.p), c.confidence);
    const double tolerance = c.n <= 500 ? 1e-9 : 1e-6;
    EXPECT_NEAR(f.lo, c.lo, tolerance * std::max(std::abs(c.lo), 1e-3));
    EXPECT_NEAR(f.hi, c.hi, tolerance * std::max(std::abs(c.hi), 1e-3));
  }
  for (const uint64_t few : {uint64_t{0}, uint64_t{1}, uint64_t{2}}) {
    EXPECT_TRUE(std::isnan(normal_quantile_factors(few, 1.0, 0.9).lo));
  }
  EXPECT_TRUE(std::isnan(normal_quantile_factors(10, std::nan(""), 0.9).hi));
}

// From 30 values on, the factors come from Newton steps on the library's distribution function:
// the library's own quantile search to within rounding, at levels and confidences far out.
TEST(QuantileInterval, NewtonStepsFindTheLibrarysQuantile) {
  for (const uint64_t n : std::vector<uint64_t>{29, 30, 31, 200, 5000, 60000}) {
    for (const double p : {0.00001, 0.1, 0.5, 0.75, 0.999}) {
      for (const double confidence : {0.5, 0.9, 0.999}) {
        SCOPED_TRACE(std::to_string(n) + " " + std::to_string(p) + " " +
                     std::to_string(confidence));
        const double z = normal_quantile(p);
        const double root_n = std::sqrt(double(n));
        const boost::math::non_central_t t(double(n - 1), z * root_n);
        const double tail = (1 - confidence) / 2;
        const double lo = boost::math::quantile(t, tail) / root_n;
        const double hi = boost::math::quantile(boost::math::complement(t, tail)) / root_n;
        const QuantileFactors f = normal_quantile_factors(n, z, confidence);
        const double scale = std::abs(lo) + std::abs(hi);
        EXPECT_NEAR(f.lo, lo, 1e-12 * scale);
        EXPECT_NEAR(f.hi, hi, 1e-12 * scale);
      }
    }
  }
}

// P(B <= k) for k = 0..n, summed in long double from the probabilities of each count.
std::vector<long double> binomial_cdf(uint64_t n, double p) {
  std::vector<long double> cdf(n + 1);
  long double term = std::pow(1.0L - p, static_cast<long double>(n));  // P(B = 0)
  long double sum = 0;
  for (uint64_t k = 0; k <= n; ++k) {
    sum += term;
    cdf[k] = sum;
    term *= (static_cast<long double>(n - k) / static_cast<long double>(k + 1)) * p / (1 - p);
  }
  return cdf;
}

// The ranks as defined: lo - 1 the largest k with P(B <= k) <= half, hi - 1 the smallest k with
// P(B > k) <= half; 0 where that falls outside 1..n. A sum within rounding of half is not
// judged (either rank is right there).
TEST(QuantileInterval, OrderStatisticRanksAsDefined) {
  for (const uint64_t n : std::vector<uint64_t>{1, 2, 3, 5, 12, 57, 200, 1000}) {
    for (const double p : {0.001, 0.05, 0.25, 0.5, 0.95, 0.999}) {
      for (const double confidence : {0.5, 0.9, 0.99}) {
        SCOPED_TRACE(std::to_string(n) + " " + std::to_string(p) + " " +
                     std::to_string(confidence));
        const OrderRanks r = order_statistic_ranks(n, p, confidence);
        const std::vector<long double> cdf = binomial_cdf(n, p);
        const long double half = (1 - confidence) / 2;
        // P <= half, or P > half, unless P lies within rounding of half.
        const auto at_most = [&](long double v) {
          return v <= half || std::abs(v - half) < 1e-12L;
        };
        const auto above = [&](long double v) { return v > half || std::abs(v - half) < 1e-12L; };
        const auto at = [&](int64_t k) { return k < 0 ? 0.0L : cdf[size_t(k)]; };
        const auto last = int64_t(n) - 1;
        const int64_t low = int64_t(r.lo) - 1;  // -1 when the sample cannot bound it
        EXPECT_TRUE(at_most(at(low)));
        EXPECT_TRUE(low == last || above(at(low + 1)));
        const int64_t high = r.hi == 0 ? int64_t(n) : int64_t(r.hi) - 1;
        EXPECT_TRUE(high == int64_t(n) || at_most(1 - at(high)));
        EXPECT_TRUE(above(1 - at(high - 1)));
      }
    }
  }
  EXPECT_EQ(order_statistic_ranks(0, 0.5, 0.9).lo, 0u);
}

// The fitted intervals of cells of each kind: back-transformed factors, none below 3 values or
// without spread or a finite fit, the bound with --zeros where the figure is the bound.
TEST(FittedIntervals, EachKindOfCell) {
  StatsTable table = allocate_table(1);
  const auto cell = [](double count, double mean, double sd) {
    MonthStats s;
    s.count = count;
    s.mean = mean;
    s.std_dev = sd;
    return s;
  };
  table.cells[0] = cell(30, 1.0, 0.5);  // fitted
  table.cells[1] = cell(2, 1.0, 0.5);   // too few
  table.cells[2] = cell(30, 1.0, 0.0);  // no spread
  table.cells[3] = cell(30, -std::numeric_limits<double>::infinity(), std::nan(""));
  table.cells[4] = cell(30, 1.0, 0.5);  // --zeros: 10 at the bound
  table.cells[5] = cell(0, 0.0, 0.0);   // --zeros: all at the bound
  CellCounts zeros = allocate_cell_counts(1);
  zeros.cells[4] = 10;
  zeros.cells[5] = 4;
  const Distribution ln3{DistributionMode::LN3, 2.0, true};
  const FittedIntervalRequest request{{5, 50, 95}, 0.9, &zeros, 2};
  const std::vector<IntervalEnds> ends = fitted_intervals(table, ln3, request);
  ASSERT_EQ(ends.size(), 36u);
  const QuantileFactors at95 = normal_quantile_factors(30, normal_quantile(0.95), 0.9);
  EXPECT_EQ(ends[2].lo, std::exp(1.0 + at95.lo * 0.5) + 2.0);
  EXPECT_EQ(ends[2].hi, std::exp(1.0 + at95.hi * 0.5) + 2.0);
  for (size_t i = 3; i < 12; ++i) EXPECT_TRUE(std::isnan(ends[i].lo) && std::isnan(ends[i].hi));
  // p0 = 10 / 40: 5 % is the bound; 95 % the log-normal's at q = (0.95 - 0.25) / 0.75.
  EXPECT_EQ(ends[12].lo, 2.0);
  EXPECT_EQ(ends[12].hi, 2.0);
  const QuantileFactors at_q = normal_quantile_factors(30, normal_quantile(0.7 / 0.75), 0.9);
  EXPECT_EQ(ends[14].lo, std::exp(1.0 + at_q.lo * 0.5) + 2.0);
  for (size_t i = 15; i < 18; ++i) EXPECT_EQ(ends[i].hi, 2.0);
  EXPECT_EQ(cells_with_intervals(ends, 3), 3u);
}

// Coverage by simulation: 10,008 samples (834 columns x 12 months) of n values each, from a
// normal distribution (NV) and a log-normal one (LN2), fitted as a run fits them; each level's
// interval at 90 % holds the true percentile in 89 to 91 % of the samples.
TEST(FittedIntervals, CoverTheTruePercentileAtTheStatedLevel) {
  constexpr int kColumns = 834;
  const double mu = 1.0, sigma = 0.5;
  const std::vector<double> levels = {5, 50, 95};
  std::mt19937_64 random(2026);
  std::normal_distribution<double> normal(mu, sigma);
  for (const uint64_t n : std::vector<uint64_t>{10, 100, 3000}) {
    for (const DistributionMode mode : {DistributionMode::NV, DistributionMode::LN2}) {
      const Distribution dist{mode, 0.0, false};
      StatsTable table = allocate_table(kColumns);
      for (MonthStats& cell : table.cells) {
        for (uint64_t i = 0; i < n; ++i) {
          const double x = normal(random);
          accumulate_value(cell,
                           transform_value(dist, mode == DistributionMode::NV ? x : std::exp(x)));
        }
      }
      finalize_table(table);
      const std::vector<IntervalEnds> ends =
          fitted_intervals(table, dist, FittedIntervalRequest{levels, 0.9, nullptr, 2});
      for (size_t l = 0; l < levels.size(); ++l) {
        const double x = mu + normal_quantile(levels[l] / 100) * sigma;
        const double truth = mode == DistributionMode::NV ? x : std::exp(x);
        size_t held = 0;
        for (size_t cell = 0; cell < table.cells.size(); ++cell) {
          const IntervalEnds& end = ends[cell * levels.size() + l];
          held += end.lo <= truth && truth <= end.hi;
        }
        const double coverage = 100.0 * double(held) / double(table.cells.size());
        EXPECT_NEAR(coverage, 90.0, 1.0)
            << "n " << n << ", " << mode_name(mode) << ", level " << levels[l];
      }
    }
  }
}

class SampleIntervals : public test::WithTempDir {};

// One table column's fields, by the header's name, in the table's row order.
std::vector<std::string> table_column(const std::string& table, const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  size_t start = 0;
  while (start < table.size()) {
    const size_t end = table.find('\n', start);
    std::vector<std::string> fields;
    for (size_t at = start;;) {
      const size_t comma = std::min(table.find(',', at), end);
      fields.push_back(table.substr(at, comma - at));
      if (comma == end) break;
      at = comma + 1;
    }
    rows.push_back(fields);
    start = end + 1;
  }
  const auto place = std::find(rows[0].begin(), rows[0].end(), name);
  std::vector<std::string> column;
  if (place == rows[0].end()) return column;
  for (size_t r = 1; r < rows.size(); ++r)
    column.push_back(rows[r][size_t(place - rows[0].begin())]);
  return column;
}

TEST_F(SampleIntervals, OrderStatisticsOfASortBitForBit) {
  // 3 columns, 144,000 values: more than --memory=1M holds, less than 8M. Ties, negative values
  // and missing ones among them; column 3 of month 12 has only two values.
  std::mt19937 random(11);
  std::map<std::pair<int, int>, std::vector<double>> cells;  // (column, month) -> values
  std::string records[2];
  for (int file = 0; file < 2; ++file) {
    for (int r = 0; r < 24000; ++r) {
      const int month = 1 + r % 12;
      records[file] += "2001 " + std::to_string(month) + " 1 0";
      for (int column = 1; column <= 3; ++column) {
        std::string text =
            std::to_string(int(random() % 2000) - 300) + "." + std::to_string(random() % 100);
        if (random() % 7 == 0) text = "12.5";
        if (random() % 50 == 0 || (column == 3 && month == 12 && r > 12 * (1 - file) + month))
          text = "-9999";
        records[file] += " " + text;
        if (text != "-9999") cells[{column, month}].push_back(std::strtod(text.c_str(), nullptr));
      }
      records[file] += "\n";
    }
  }
  file("a.dat", test::data_file(3, records[0]));
  file("b.dat.gz", test::gzip_member(test::data_file(3, records[1])));
  file("list.txt", "a.dat\nb.dat.gz\n");
  const std::vector<double> levels = {0.1, 5, 50, 95, 99.9};
  const double confidence = 0.95;
  std::map<std::string, std::vector<std::string>> expected;  // by column name
  for (auto& [place, values] : cells) {
    std::sort(values.begin(), values.end());
    for (const double level : levels) {
      const OrderRanks r = order_statistic_ranks(values.size(), level / 100, confidence);
      const std::string name = level_column_name(level);
      expected["sample_lo_" + name].push_back(r.lo ? shortest_double(values[r.lo - 1]) : "");
      expected["sample_hi_" + name].push_back(r.hi ? shortest_double(values[r.hi - 1]) : "");
    }
  }
  const std::string common = "-q --ci=95 --levels=0.1,5,50,95,99.9 list.txt NV --table t.csv ";
  const auto check = [&](const std::string& options, const std::string& env) {
    SCOPED_TRACE(options + " " + env);
    const test::RunResult run = test::run_binary(dir, common + options, "", env);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const std::string table = test::read_file(dir / "t.csv");
    for (const auto& [name, fields] : expected) {
      ASSERT_EQ(table_column(table, name), fields) << name;
    }
  };
  for (const char* memory : {"--memory=1M", "--memory=8M"}) {
    for (const char* threads : {"PCTLFIT_THREADS=1", "PCTLFIT_THREADS=3"}) {
      check(std::string("--sample ") + memory, threads);
    }
  }
  for (const char* method : {"weibull", "hazen", "linear", "median-unbiased", "normal-unbiased",
                             "cunnane", "gringorten", "type4", "type1", "type2", "type3"}) {
    check(std::string("--sample=") + method, "");
  }
}

}  // namespace
}  // namespace pctlfit

namespace pctlfit {
namespace {

class IntervalRun : public test::WithTempDir {};

// The option: a confidence after "=" only, with the table only; its columns after all others in
// the documented order; one line on standard error; the report as without it.
TEST_F(IntervalRun, ColumnsNoteAndUsage) {
  std::string records;
  for (int year = 2001; year <= 2010; ++year) {
    records += std::to_string(year) + " 1 1 0 " + std::to_string(year % 7 + 1) + " 0\n";
  }
  records += "2011 1 1 0 3 2.5\n2012 2 1 0 1 -9999\n";
  file("a.dat", test::data_file(2, records));
  file("list.txt", "a.dat\n");
  ASSERT_EQ(test::run_binary(dir, "-q --zeros list.txt -o plain.sta").status, 0);
  const auto run = test::run_binary(
      dir, "-q --ci=95 --sample --levels=1,50 --zeros --table t.csv list.txt -o ci.sta");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(test::read_file(dir / "ci.sta"), test::read_file(dir / "plain.sta"));
  EXPECT_NE(run.err.find("pctlfit: intervals at 95 %: fitted in 2 months, sample in 3\n"),
            std::string::npos)
      << run.err;
  const std::string table = test::read_file(dir / "t.csv");
  const std::string header = table.substr(0, table.find('\n'));
  EXPECT_TRUE(
      header.ends_with(",p0,lo_p5,hi_p5,lo_p50,hi_p50,lo_p95,hi_p95,lo_p1,hi_p1,"
                       "sample_lo_p1,sample_hi_p1,sample_lo_p50,sample_hi_p50"))
      << header;
  // Column 2, January: ten values at the bound of eleven; the 5 and 50 % figures are the bound,
  // and so are both ends of their intervals (conditional on that share); the 95 % figure rests
  // on the one value above it, too few for an interval.
  const std::vector<std::string> lo_p95 = table_column(table, "lo_p95");
  ASSERT_EQ(lo_p95.size(), 24u);
  EXPECT_EQ(table_column(table, "hi_p5")[12], "0");
  EXPECT_EQ(table_column(table, "lo_p50")[12], "0");
  EXPECT_EQ(lo_p95[12], "");
  // The sample cannot bound a median of one value, but bounds its 1 % from above by it.
  EXPECT_EQ(table_column(table, "sample_hi_p50")[1], "");
  EXPECT_EQ(table_column(table, "sample_hi_p1")[1], "1");
  EXPECT_NE(lo_p95[0], "");  // column 1, January: 11 values
  EXPECT_EQ(lo_p95[1], "");  // February: one value
  EXPECT_EQ(lo_p95[2], "");  // March: none
  // Each usage error as --levels words its own, and --ci without the table is one.
  const struct {
    std::string option;
    std::string message;
  } usage[] = {
      {"--ci=0", "pctlfit: --ci: level 0 is not above 0 and below 100"},
      {"--ci=100", "pctlfit: --ci: level 100 is not above 0 and below 100"},
      {"--ci=9O", "pctlfit: --ci: \"9O\" is not a number"},
      {"--ci=", "pctlfit: --ci: an empty level"},
  };
  for (const auto& c : usage) {
    const auto refused = test::run_binary(dir, "-q " + c.option + " --table t.csv list.txt");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, c.message + "\n");
  }
  const auto without = test::run_binary(dir, "-q --ci list.txt");
  EXPECT_EQ(without.status, 1);
  EXPECT_EQ(without.out, "pctlfit: --ci writes its figures to the table: add --table FILE\n");
}

}  // namespace
}  // namespace pctlfit
