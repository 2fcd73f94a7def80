#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "report/report_writer.h"
#include "report/table_writer.h"
#include "test_util.h"

namespace pctlfit {
namespace {

std::string head(int columns, DistributionMode mode, const std::vector<std::string>& entries,
                 bool zeros = false) {
  std::FILE* out = std::tmpfile();
  EXPECT_TRUE(write_report_head(out, columns, mode, entries, zeros));
  return test::read_stream(out);
}

TEST(ReportHead, ColumnLineAndTitle) {
  EXPECT_EQ(head(1, DistributionMode::LN2, {"a"}),
            "MM\t1_Min\t1_5%\t1_50%\t1_95%\t1_Max\n"
            "Percentiles for Log-Gaussian distribution (LN2) for monthly values froma \n");
  EXPECT_EQ(head(2, DistributionMode::NV, {"a", "b"}),
            "MM\t1_Min\t1_5%\t1_50%\t1_95%\t1_Max\t2_Min\t2_5%\t2_50%\t2_95%\t2_Max\n"
            "Percentiles for Gaussian distribution for monthly values from a b \n");
  EXPECT_EQ(head(0, DistributionMode::LN3, {"x"}),
            "MM\nPercentiles for Log-Gaussian distribution (LN3) for monthly values fromx \n");
  // --zeros says so, so that its figures are not taken for the plain mode's.
  EXPECT_EQ(head(0, DistributionMode::LN2, {"x"}, true),
            "MM\nPercentiles for Log-Gaussian distribution (LN2), values at 0 as a mass of their "
            "own (--zeros), for monthly values fromx \n");
  EXPECT_EQ(head(0, DistributionMode::LN3, {"x"}, true),
            "MM\nPercentiles for Log-Gaussian distribution (LN3), values at the lower limit as a "
            "mass of their own (--zeros), for monthly values fromx \n");
  EXPECT_TRUE(title_names_other_files(
      "Percentiles for Log-Gaussian distribution (LN2), values at 0 as a mass of their own "
      "(--zeros), for monthly values froma b ",
      {"a"}));
}

TEST(ReportRows, TwelveRowsOfFiveFigures) {
  const Distribution ln2{DistributionMode::LN2, 0.0};
  CellResults results = allocate_results(2, ln2, {});
  StatsTable& table = results.table;
  for (double v : {1.0, 2.0, 4.0})
    accumulate_value(table_cell(table, 1, 1), transform_value(ln2, v));
  accumulate_value(table_cell(table, 2, 12), transform_value(ln2, 3.0));
  finalize_table(table);
  std::FILE* out = std::tmpfile();
  ASSERT_TRUE(write_month_rows(out, results, ln2));
  const std::string rows = test::read_stream(out);
  const std::string empty = "\tinf\t1.00\t1.00\t1.00\t0.00";
  std::string expected = "1\t1.00\t0.64\t2.00\t6.25\t4.00" + empty + "\n";
  for (int m = 2; m <= 11; ++m) expected += std::to_string(m) + empty + empty + "\n";
  expected += "12" + empty + "\t3.00\t3.00\t3.00\t3.00\t3.00\n";
  EXPECT_EQ(rows, expected);
}

// Every figure's text reads back to the very double it was written from, whatever reads it.
TEST(FigureTable, FieldsReadBackExactly) {
  std::mt19937_64 random(5);
  for (int i = 0; i < 100000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (!std::isfinite(value)) continue;
    const std::string text = shortest_double(value);
    ASSERT_EQ(std::bit_cast<uint64_t>(std::strtod(text.c_str(), nullptr)),
              std::bit_cast<uint64_t>(value))
        << text;
  }
  // Readers take "inf", "-inf" and "nan", but not every one takes "-nan".
  EXPECT_EQ(shortest_double(INFINITY), "inf");
  EXPECT_EQ(shortest_double(-INFINITY), "-inf");
  EXPECT_EQ(shortest_double(-std::nan("")), "nan");
  EXPECT_EQ(csv_field("SB042"), "SB042");
  EXPECT_EQ(csv_field("Q, upper"), "\"Q, upper\"");
  EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
}

// A report's title tells its family: every family's mode word names it, and no title (with
// --zeros or without) begins another, or a later run could not tell which files a report names.
TEST(ReportTitle, EachFamilysOwn) {
  std::vector<std::string> titles;
  for (const DistributionFamily& family : kFamilies) {
    if (family.mode_word) {
      EXPECT_EQ(family_named(family.keyword), family.mode);
    }
    if (family.mode != DistributionMode::LN3_auto) {
      EXPECT_EQ(fit_family_named(family.keyword), family.mode);
    }
    EXPECT_STREQ(mode_name(family.mode), family.keyword);
    titles.push_back(report_title(family.mode, false));
    if (has_bound(family.mode)) titles.push_back(report_title(family.mode, true));
  }
  titles.push_back(report_title(DistributionMode::NV, false, true));
  titles.push_back(report_title(DistributionMode::NV, true, true));
  for (size_t a = 0; a < titles.size(); ++a) {
    for (size_t b = 0; b < titles.size(); ++b) {
      if (a != b) {
        EXPECT_FALSE(titles[b].starts_with(titles[a])) << titles[a];
      }
    }
  }
  EXPECT_FALSE(family_named("ln2"));  // mode words are case-sensitive
}

TEST(ReportRows, FailedWritesAreReported) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full";
  std::setvbuf(full, nullptr, _IONBF, 0);  // fail on the write itself, not later at the flush
  const Distribution nv{DistributionMode::NV, 0.0};
  EXPECT_FALSE(write_report_head(full, 1, DistributionMode::NV, {"a"}));
  EXPECT_FALSE(write_month_rows(full, allocate_results(1, nv, {}), nv));
  std::fclose(full);
}

}  // namespace
}  // namespace pctlfit
