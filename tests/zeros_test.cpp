// --zeros: the mixture of a mass p0 at the bound and the log-normal of the values above it,
// against a model in the test (two-pass mean and SD, the standard normal quantile by
// bisection); a cell without values at the bound keeps the fitted figures bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "stats/distribution.h"
#include "test_util.h"

namespace pctlfit {
namespace {

struct Sample {
  MonthStats record;  // the values above the bound, as the data pass sums them
  uint64_t at_bound = 0;
  std::vector<double> above;  // transformed
};

Sample sample_of(const Distribution& dist, const std::vector<double>& x) {
  Sample sample;
  const double bound = log_normal_bound(dist);
  for (double v : x) {
    if (v == bound) {
      ++sample.at_bound;
      continue;
    }
    sample.above.push_back(transform_value(dist, v));
    accumulate_value(sample.record, sample.above.back());
  }
  finalize_stats(sample.record);
  return sample;
}

// The model's figure at `level` percent.
double model_figure(const Distribution& dist, const Sample& s, double level) {
  const double n = double(s.above.size() + s.at_bound);
  const double p = level / 100, p0 = double(s.at_bound) / n;
  if (s.above.empty() || p <= p0) return log_normal_bound(dist);
  double mean = 0, ss = 0;
  for (double y : s.above) mean += y / double(s.above.size());
  for (double y : s.above) ss += (y - mean) * (y - mean);
  const double sd = std::sqrt(ss / double(s.above.size() - 1));
  return log_normal_bound(dist) +
         std::exp(mean + test::bisected_quantile((p - p0) / (1 - p0)) * sd);
}

TEST(Zeros, MixtureFiguresAgainstTheModel) {
  std::mt19937_64 random(9);
  std::normal_distribution<double> normal(1, 0.7);
  std::uniform_real_distribution<double> uniform(0, 1);
  struct Case {
    const char* name;
    Distribution dist;
    double share;  // of values at the bound
  };
  const std::vector<Case> cases = {
      {"LN2, 30 % zeros", {DistributionMode::LN2, 0, true}, 0.3},
      {"LN3, 30 % at the limit", {DistributionMode::LN3, 2.5, true}, 0.3},
      {"LN2, 3 % zeros", {DistributionMode::LN2, 0, true}, 0.03},
      {"LN2, all zeros", {DistributionMode::LN2, 0, true}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<double> x(4000);
    for (double& v : x) {
      v = uniform(random) < c.share ? log_normal_bound(c.dist)
                                    : log_normal_bound(c.dist) + std::exp(normal(random));
    }
    const Sample s = sample_of(c.dist, x);
    for (const double level : {1.0, 2.5, 5.0, 10.0, 29.9, 30.5, 50.0, 95.0, 99.9}) {
      const double figure = mixed_at_level(c.dist, s.record, s.at_bound, level);
      const double model = model_figure(c.dist, s, level);
      EXPECT_NEAR(figure, model, 1e-12 * std::abs(model)) << level;
    }
    EXPECT_EQ(mixed_min(c.dist, s.record, s.at_bound), log_normal_bound(c.dist));
  }
  // p0 = 3/8 puts the median's q = 0.125 / 0.625 exactly on the z table's 20 %: still the exact
  // quantile (0.8416), not the table's rounded 0.841.
  const Distribution ln2{DistributionMode::LN2, 0, true};
  const Sample s = sample_of(ln2, {0, 0, 0, 1.5, 2, 3.25, 7, 11});
  const double model = model_figure(ln2, s, 50.0);
  EXPECT_NEAR(mixed_at_level(ln2, s.record, s.at_bound, 50.0), model, 1e-12 * model);
}

// Without values at the bound, every figure is the fitted one, bit for bit: the z table's at its
// levels, the quantile's elsewhere.
TEST(Zeros, NoneAtTheBoundKeepsTheFittedFigures) {
  const Distribution dist{DistributionMode::LN2, 0, true};
  const Sample s = sample_of(dist, {1.5, 2, 3.25, 7, 11});
  for (const double level : {0.1, 5.0, 12.5, 50.0, 95.0, 99.9}) {
    EXPECT_EQ(std::bit_cast<uint64_t>(mixed_at_level(dist, s.record, 0, level)),
              std::bit_cast<uint64_t>(fitted_at_level(dist, s.record, level)))
        << level;
  }
  EXPECT_EQ(mixed_min(dist, s.record, 0), month_min(dist, s.record));
  EXPECT_EQ(mixed_max(dist, s.record, 0), month_max(dist, s.record));
}

// The program: a column without zeros reports as without --zeros; one with zeros gets p0 and
// figures above 0; --zeros with NV is a usage error.
TEST(Zeros, TheRunsReportAndTable) {
  test::TempDir dir;
  std::string records;
  for (int r = 0; r < 240; ++r) {
    records += "2001 " + std::to_string(1 + r % 12) + " 1 0 " + std::to_string(1 + r % 7) +
               ((r / 12) % 4 == 0 ? " 0\n" : " " + std::to_string(2 + r % 5) + "\n");
  }
  test::write_file(dir / "a.dat", test::data_file(2, records));
  test::write_file(dir / "list.txt", "a.dat\n");
  ASSERT_EQ(test::run_binary(dir, "-q list.txt").status, 0);
  const std::string plain = test::read_file(dir / "list.sta");
  const test::RunResult r = test::run_binary(dir, "-q --zeros --table t.csv list.txt");
  ASSERT_EQ(r.status, 0);
  const std::string mixed = test::read_file(dir / "list.sta");
  // Row of January: column 1 the same, column 2 no longer 0.00 at 50 %.
  const auto january = [](const std::string& report) {
    const size_t at = report.find("\n1\t") + 1;
    return report.substr(at, report.find('\n', at) - at);
  };
  const std::string plain_row = january(plain), mixed_row = january(mixed);
  const auto column_one = [](const std::string& row) {
    size_t at = 0;
    for (int tab = 0; tab < 6; ++tab) at = row.find('\t', at + 1);
    return row.substr(0, at);
  };
  EXPECT_EQ(column_one(mixed_row), column_one(plain_row));
  EXPECT_NE(plain_row.find("\t0.00\t0.00\t0.00\t"), std::string::npos) << plain_row;
  EXPECT_EQ(mixed_row.find("\t0.00\t0.00\t0.00\t"), std::string::npos) << mixed_row;
  const std::string table = test::read_file(dir / "t.csv");
  EXPECT_NE(table.find(",flag,p0\n"), std::string::npos);
  EXPECT_NE(table.find("\n2,Q2,1,20,0,0,"), std::string::npos);  // n counts the zeros
  EXPECT_NE(table.find(",ok,0.25\n"), std::string::npos);
  // The check holds the values against the mixture's lines: a quarter at the bound reaches the
  // 5 % line, which is then not judged, so no month is a misfit for it.
  const test::RunResult checked = test::run_binary(dir, "-q --zeros --check-fit list.txt");
  EXPECT_EQ(checked.status, 0);
  EXPECT_NE(checked.err.find("pctlfit: fit check: 0 of 24 months outside"), std::string::npos)
      << checked.err;
  // The modes are compared over the values above the bound: LN2 has an AIC despite the zeros.
  const test::RunResult compared =
      test::run_binary(dir, "-q --zeros --compare-fits --table compared.csv list.txt");
  EXPECT_NE(compared.err.find("; over the values above the bound (p0 is common to all modes)\n"),
            std::string::npos)
      << compared.err;
  const std::string compared_table = test::read_file(dir / "compared.csv");
  const size_t column_two = compared_table.find("\n2,Q2,1,");
  const std::string row = compared_table.substr(
      column_two + 1, compared_table.find('\n', column_two + 1) - column_two - 1);
  std::vector<std::string> fields;
  for (size_t at = 0; at != std::string::npos;) {
    const size_t comma = row.find(',', at);
    fields.push_back(row.substr(at, comma == std::string::npos ? comma : comma - at));
    at = comma == std::string::npos ? comma : comma + 1;
  }
  ASSERT_GE(fields.size(), 5u);
  EXPECT_EQ(fields.back(), "0.25") << row;
  EXPECT_FALSE(fields[fields.size() - 7].empty()) << row;  // aic_ln2
  EXPECT_FALSE(fields[fields.size() - 2].empty()) << row;  // best
  // The sample percentiles pool the zeros as data, kept or read again under a tiny budget.
  ASSERT_EQ(test::run_binary(dir, "-q --zeros --sample --table kept.csv list.txt").status, 0);
  const test::RunResult narrowed =
      test::run_binary(dir, "-q --zeros --sample --memory=26K --table narrowed.csv list.txt");
  EXPECT_EQ(narrowed.err.find("left out"), std::string::npos) << narrowed.err;
  EXPECT_EQ(test::read_file(dir / "narrowed.csv"), test::read_file(dir / "kept.csv"));
  const test::RunResult nv = test::run_binary(dir, "-q --zeros list.txt NV");
  EXPECT_EQ(nv.status, 1);
  EXPECT_NE(nv.out.find("pctlfit: --zeros is for LN2 and LN3, but the mode is NV"),
            std::string::npos);
}

}  // namespace
}  // namespace pctlfit
