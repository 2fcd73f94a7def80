#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "stats/distribution.h"
#include "stats/domain_check.h"
#include "stats/month_stats.h"
#include "stats/normal_quantile.h"
#include "stats/z_table.h"
#include "test_util.h"

namespace pctlfit {
namespace {

MonthStats stats_of(const Distribution& dist, const std::vector<double>& values) {
  MonthStats record;
  for (double v : values) accumulate_value(record, transform_value(dist, v));
  finalize_stats(record);
  return record;
}

std::string figures(const Distribution& dist, const std::vector<double>& values) {
  const MonthStats record = stats_of(dist, values);
  char text[512];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f %.2f %.2f", month_min(dist, record),
                percentile(dist, record, 5), percentile(dist, record, 50),
                percentile(dist, record, 95), month_max(dist, record));
  return text;
}

TEST(MonthStats, AccumulateAndFinalize) {
  struct Case {
    const char* name;
    std::vector<double> values;
    double mean, std_dev, min, max;
  };
  const Case cases[] = {
      {"none", {}, 0, 0, 1e100, -1e100}, {"one", {7}, 7, 0, 7, 7},
      {"two", {1, 3}, 2, 0, 1, 3},  // needs more than two values for a deviation
      {"three", {1, 2, 3}, 2, 1, 1, 3},  {"equal", {5, 5, 5}, 5, 0, 5, 5},
  };
  const Distribution nv{DistributionMode::NV, 0.0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonthStats record = stats_of(nv, c.values);
    EXPECT_EQ(record.count, static_cast<double>(c.values.size()));
    EXPECT_DOUBLE_EQ(record.mean, c.mean);
    EXPECT_DOUBLE_EQ(record.std_dev, c.std_dev);
    EXPECT_EQ(record.min, c.min);
    EXPECT_EQ(record.max, c.max);
    const MonthStats once = record;
    finalize_stats(record);
    EXPECT_EQ(record.mean, once.mean);
    EXPECT_EQ(record.std_dev, once.std_dev);
  }
}

TEST(MonthStats, TableStartsAtInitialValues) {
  StatsTable table = allocate_table(3);
  ASSERT_EQ(table.cells.size(), 36u);
  for (int column = 1; column <= 3; ++column) {
    for (int month = 1; month <= 12; ++month) {
      const MonthStats& cell = table_cell(table, column, month);
      EXPECT_EQ(cell.count, 0.0);
      EXPECT_EQ(cell.min, 1e100);
      EXPECT_EQ(cell.max, -1e100);
    }
  }
  accumulate_value(table_cell(table, 2, 7), 1.5);
  EXPECT_EQ(table_cell(table, 2, 7).count, 1.0);
  EXPECT_EQ(table_cell(table, 3, 7).count, 0.0);
  EXPECT_EQ(table_cell(table, 2, 8).count, 0.0);
  EXPECT_TRUE(allocate_table(0).cells.empty());
}

TEST(Distribution, FiguresOfOneTwoFour) {
  struct Case {
    Distribution dist;
    const char* expected;
  };
  const Case cases[] = {
      {{DistributionMode::LN2, 0.0}, "1.00 0.64 2.00 6.25 4.00"},
      {{DistributionMode::NV, 0.0}, "1.00 -0.18 2.33 4.85 4.00"},
      {{DistributionMode::LN3, 0.5}, "1.00 0.78 1.88 7.37 4.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.dist.mode));
    EXPECT_EQ(figures(c.dist, {1, 2, 4}), c.expected);
  }
}

TEST(Distribution, EmptyMonth) {
  struct Case {
    Distribution dist;
    const char* expected;
  };
  char nv_expected[512];
  std::snprintf(nv_expected, sizeof nv_expected, "%.2f 0.00 0.00 0.00 %.2f", 1e100, -1e100);
  const Case cases[] = {
      {{DistributionMode::NV, 0.0}, nv_expected},
      {{DistributionMode::LN2, 0.0}, "inf 1.00 1.00 1.00 0.00"},
      {{DistributionMode::LN3, 0.5}, "inf 1.50 1.50 1.50 0.50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.dist.mode));
    EXPECT_EQ(figures(c.dist, {}), c.expected);
  }
  EXPECT_EQ(std::string(nv_expected).find('.'), 101u);  // 1e100 printed in full
}

TEST(Distribution, ValuesAtAndBelowTheBound) {
  const Distribution ln2{DistributionMode::LN2, 0.0};
  EXPECT_EQ(figures(ln2, {0, 1, 2}), "0.00 0.00 0.00 0.00 2.00");
  // Below the bound the logarithm gives NaN: the percentiles follow, min and max ignore it.
  // glibc spells the NaN of log(-1) with its sign, the Windows C library without.
  EXPECT_EQ(figures(ln2, {-1, 1, 2}),
            test::kWindows ? "1.00 nan nan nan 2.00" : "1.00 -nan -nan -nan 2.00");
  const Distribution ln3{DistributionMode::LN3, 0.5};
  EXPECT_EQ(figures(ln3, {0.5, 1, 2}), "0.50 0.50 0.50 0.50 2.00");
}

// The standard normal quantile of probability q (0 < q < 1), by bisection on the exact
// distribution function; independent of the table's constants.
TEST(ZTable, EveryConstantIsItsRoundedNormalQuantile) {
  // Each rounded constant lies within 0.01 of the true deviate, so a mistyped digit shows.
  for (const ZEntry& entry : kZTable) {
    SCOPED_TRACE(entry.key);
    const double q = entry.key / 1000.0;
    EXPECT_EQ(entry.side, entry.key < 500   ? ZSide::lower
                          : entry.key > 500 ? ZSide::upper
                                            : ZSide::median);
    const double deviate = std::fabs(test::bisected_quantile(q));
    EXPECT_NEAR(entry.z, deviate, 0.01);
  }
}

TEST(ZTable, ThePercentilesOfTheReport) {
  const Distribution nv{DistributionMode::NV, 0.0};
  MonthStats record;
  record.mean = 10.0;
  record.std_dev = 2.0;
  // The tool's own constant 1.645, and its operation orders: m - z*s below, z*s + m above.
  EXPECT_EQ(percentile(nv, record, 5), 10.0 - 1.645 * 2.0);
  EXPECT_EQ(percentile(nv, record, 50), 10.0);
  EXPECT_EQ(percentile(nv, record, 95), 1.645 * 2.0 + 10.0);
  EXPECT_EQ(percentile(nv, record, 99.5), 2.575 * 2.0 + 10.0);
  EXPECT_EQ(percentile(nv, record, 4.96), 10.0 - 1.645 * 2.0);  // key rounds to 50
}

TEST(Distribution, UnknownPercentageIsNaN) {
  const Distribution nv{DistributionMode::NV, 0.0};
  MonthStats record;
  for (double p : {3.0, 60.0, -5.0, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(p);
    EXPECT_TRUE(std::isnan(percentile(nv, record, p)));
  }
}

TEST(DomainWarnings, BoundAndEmptyMonths) {
  const Distribution ln2{DistributionMode::LN2, 0.0};
  StatsTable table = allocate_table(3);
  CellCounts counts = allocate_cell_counts(3);
  for (int month = 1; month <= 12; ++month) {
    for (int column = 1; column <= 3; ++column) {
      if (column == 3 && month > 10) continue;  // column 3: November and December empty
      accumulate_value(table_cell(table, column, month), 1.0);
    }
  }
  counts.cells[cell_index(counts, 2, 1)] = 2;
  counts.cells[cell_index(counts, 2, 7)] = 1;
  const std::vector<std::string> expected = {
      "pctlfit: warning: column 2: 3 values at or below 0; months 1, 7 report non-finite or "
      "zero percentiles\n",
      "pctlfit: warning: column 3: no values in months 11, 12\n",
  };
  EXPECT_EQ(domain_warnings(table, counts, ln2), expected);
  const Distribution ln3{DistributionMode::LN3, 0.25};
  EXPECT_EQ(domain_warnings(table, counts, ln3)[0].substr(0, 55),
            "pctlfit: warning: column 2: 3 values at or below 0.25; ");
  // NV has no bound; the empty months still deserve a word.
  EXPECT_EQ(domain_warnings(table, counts, {DistributionMode::NV, 0.0}),
            std::vector<std::string>{expected[1]});
}

TEST(DomainWarnings, LimitedToTwentyLinesOfEachKind) {
  StatsTable table = allocate_table(25);
  const auto lines = domain_warnings(table, allocate_cell_counts(25), {DistributionMode::NV, 0.0});
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines.back(),
            "pctlfit: warning: 5 more columns with months without values (the figure table, "
            "--table, lists every column and month)\n");
}

// Reference quantiles (to 17 digits) at 2e-15 relative, bisection across the range, and the two
// tails alike.
TEST(NormalQuantile, ReferenceValuesAndSymmetry) {
  struct Case {
    double p, z;
  };
  const Case cases[] = {
      {0.5, 0.0},
      {0.975, 1.959963984540054},
      {0.9, 1.2815515655446004},
      {0.001, -3.090232306167814},
      {0.3, -0.52440051270804067},
      {1e-10, -6.3613409024040557},
      {0.999999, 4.753424308817089},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    EXPECT_NEAR(normal_quantile(c.p), c.z, 2e-15 * std::max(1.0, std::fabs(c.z)));
  }
  for (double p = 0.0005; p < 1; p += 0.0125) {  // against bisection on erfc, across the range
    EXPECT_NEAR(normal_quantile(p), test::bisected_quantile(p), 1e-14) << p;
  }
  // Levels whose 1 - p is exact: the tails are one computation.
  for (double p : {0.0625, 0.125, 0.25, 0.375})
    EXPECT_EQ(normal_quantile(p), -normal_quantile(1 - p));
  for (double p : {0.0, 1.0, -0.5, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(normal_quantile(p)));
  }
}

// A level whose key the z table holds gives the table's figure, bit for bit; any other, the
// normal quantile's, in each mode's units.
TEST(Distribution, FittedAtAnyLevel) {
  MonthStats cell;
  cell.count = 30;
  cell.mean = 1.5;
  cell.std_dev = 0.4;
  for (const Distribution dist :
       {Distribution{DistributionMode::NV, 0.0}, Distribution{DistributionMode::LN2, 0.0},
        Distribution{DistributionMode::LN3, 0.25}}) {
    SCOPED_TRACE(static_cast<int>(dist.mode));
    for (double level : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 25.0, 50.0, 75.0, 80.0, 90.0,
                         95.0, 98.0, 99.0, 99.5, 99.8, 99.9}) {
      EXPECT_EQ(fitted_at_level(dist, cell, level), percentile(dist, cell, level)) << level;
    }
    // Levels whose key is in the table but which are not its percentages: exact, not snapped.
    for (double level : {0.15, 0.16, 0.54, 1.04, 2.5, 4.96, 9.96, 33.0, 60.0, 97.5, 99.99}) {
      const double expected = back_transform(dist, 1.5 + normal_quantile(level / 100) * 0.4);
      EXPECT_EQ(fitted_at_level(dist, cell, level), expected) << level;
    }
  }
}

}  // namespace
}  // namespace pctlfit
