// Cells of large values with a small spread keep their digits: their mean and SD are those of a
// two-pass computation, where one-pass sums cancel most of them; other cells keep their bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "stats/shifted_sums.h"
#include "test_util.h"

namespace pctlfit {
namespace {

MonthStats cell_of(const std::vector<double>& values) {
  MonthStats cell;
  for (const double v : values) accumulate_value(cell, v);
  finalize_stats(cell);
  return cell;
}

TEST(ShiftedSums, WhichCellsLoseDigits) {
  struct Case {
    const char* name;
    std::vector<double> values;
    bool loses;
  };
  const Case cases[] = {
      {"ordinary discharges", {1.5, 30.25, 7, 12.5}, false},
      {"a mean of 8000 SDs", {8000, 8001, 7999}, false},
      {"a mean of 123457 SDs", {123456, 123457, 123458}, true},
      {"values 1e9 apart by 1", {1e9, 1e9 + 1, 1e9 + 2}, true},
      {"equal values", {123456.789, 123456.789, 123456.789}, false},
      {"two values", {123456.5, 123456.6}, false},
      {"a value at the log bound", {-INFINITY, 1, 2}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(loses_digits(cell_of(c.values)), c.loses);
  }
}

// Values of mean/SD ratios from 1 to 1e9 in NV and LN2: the table's mean and SD are those of a
// two-pass computation (in long double), and the report's figures its figures; at ratios below
// the bound the figures are the one-pass ones, bit for bit.
TEST(ShiftedSums, RatiosFromOneToABillion) {
  const test::TempDir dir;
  std::mt19937_64 random(5);
  std::normal_distribution<double> normal(0, 1);
  for (int power = 0; power <= 9; ++power) {
    for (const bool logs : {false, true}) {
      const double ratio = std::pow(10.0, power);
      SCOPED_TRACE(std::to_string(power) + (logs ? " LN2" : " NV"));
      const double mean = logs ? 10.0 : 1000.0, sd = mean / ratio;
      std::vector<double> values, transformed;
      std::string records;
      char line[96];
      for (int i = 0; i < 600; ++i) {
        const double x = mean + sd * normal(random);
        const double v = logs ? std::exp(x) : x;
        std::snprintf(line, sizeof line, "%d 1 1 0 %.17g\n", 1400 + i, v);
        records += line;
        values.push_back(std::strtod(line + 11, nullptr));
        transformed.push_back(logs ? std::log(values.back()) : values.back());
      }
      test::write_file(dir / "a.dat", test::data_file(1, records));
      test::write_file(dir / "list.txt", "a.dat\n");
      const auto r = test::run_binary(dir, std::string("-q list.txt --table=t.csv ") +
                                               (logs ? "LN2" : "NV"));
      ASSERT_EQ(r.status, 0) << r.err;
      long double sum = 0, squares = 0;
      for (const double x : transformed) sum += x;
      const long double m = sum / transformed.size();
      for (const double x : transformed) squares += (x - m) * (x - m);
      const double two_pass_sd = static_cast<double>(std::sqrt(squares / (transformed.size() - 1)));
      const MonthStats one_pass = cell_of(transformed);
      const bool corrected = loses_digits(one_pass);
      EXPECT_EQ(corrected, r.err.find("of large values with a small spread") != std::string::npos);
      const std::string table = test::read_file(dir / "t.csv");
      const size_t january = table.find("\n1,Q1,1,600,");
      ASSERT_NE(january, std::string::npos);
      // n, missing, at_or_below_bound, then mean and sd
      size_t field = january + 1;
      for (int skip = 0; skip < 6; ++skip) field = table.find(',', field) + 1;
      const double table_mean = std::strtod(table.c_str() + field, nullptr);
      const double table_sd = std::strtod(table.c_str() + table.find(',', field) + 1, nullptr);
      if (corrected) {
        EXPECT_NEAR(table_mean, static_cast<double>(m), 1e-15 * std::abs(table_mean));
        EXPECT_NEAR(table_sd, two_pass_sd, 1e-9 * two_pass_sd);
      } else {
        EXPECT_EQ(table_mean, one_pass.mean);
        EXPECT_EQ(table_sd, one_pass.std_dev);
        EXPECT_NEAR(table_sd, two_pass_sd, 1e-6 * two_pass_sd);
      }
      char expected[160];
      const auto back = [&](double x) { return logs ? std::exp(x) : x; };
      const double mean_ref = corrected ? static_cast<double>(m) : one_pass.mean;
      const double sd_ref = corrected ? two_pass_sd : one_pass.std_dev;
      std::snprintf(expected, sizeof expected, "1\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\n",
                    *std::min_element(values.begin(), values.end()),
                    back(mean_ref - 1.645 * sd_ref), back(mean_ref), back(1.645 * sd_ref + mean_ref),
                    *std::max_element(values.begin(), values.end()));
      EXPECT_NE(test::read_file(dir / "list.sta").find(expected), std::string::npos) << expected;
    }
  }
}

}  // namespace
}  // namespace pctlfit
