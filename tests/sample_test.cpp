// Sample percentiles: every method against a model written from the definitions (sort, then
// the formula), and the narrowing passes under a tiny budget against the values kept in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "passes/data_pass.h"
#include "passes/kept/kept_decimals.h"
#include "passes/kept/kept_tally.h"
#include "passes/sample_pass.h"
#include "stats/rank_select.h"
#include "stats/sample_percentile.h"
#include "test_util.h"

namespace pctlfit {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The definitions as the documentation states them, on x sorted by totalOrder.
double model(int type, double a, std::vector<double> x, double p) {
  std::sort(x.begin(), x.end(), [](double l, double r) {
    return total_order_key(std::bit_cast<uint64_t>(l)) <
           total_order_key(std::bit_cast<uint64_t>(r));
  });
  const double n = double(x.size());
  const auto at = [&](double i) {  // x_0 = x_1, x_{n+1} = x_n
    return x[size_t(std::clamp(i, 1.0, n)) - 1];
  };
  if (type >= 1 && type <= 3) {
    const double h = type == 3 ? n * p - 0.5 : n * p;
    const double j = std::floor(h), g = h - j;
    if (type == 1) return g == 0 ? at(j) : at(j + 1);
    if (type == 2) return g == 0 ? 0.5 * (at(j) + at(j + 1)) : at(j + 1);
    return g == 0 && std::fmod(j, 2) == 0 ? at(j) : at(j + 1);
  }
  const double h = type == 4 ? n * p : (n + 1 - 2 * a) * p + a;
  const double j = std::floor(h), g = h - j;
  if (j < 1) return x.front();
  if (j >= n) return x.back();
  if (g == 0 || at(j) == at(j + 1)) return at(j);
  return at(j) + g * (at(j + 1) - at(j));
}

TEST(SamplePercentile, EveryMethodAsDefined) {
  struct Method {
    const char* name;
    int type;
    double a;
  };
  const Method methods[] = {{"1", 1, 0},
                            {"2", 2, 0},
                            {"3", 3, 0},
                            {"4", 4, 0},
                            {"hazen", 5, 0.5},
                            {"weibull", 6, 0},
                            {"linear", 7, 1},
                            {"median-unbiased", 8, 1.0 / 3},
                            {"normal-unbiased", 9, 3.0 / 8},
                            {"cunnane", 0, 0.4},
                            {"gringorten", 0, 0.44}};
  const std::vector<std::vector<double>> cells = {
      {4.5},                                  // n = 1: the value at every level
      {2, 1},                                 // n = 2
      {3, 1, 2},                              // n = 3
      {5, 5, 5, 5},                           // all equal
      {0.0, -0.0, 1, -0.0, 0.0},              // -0 sorts before 0
      {1, 2, 2, 2, 2, 3, kInf, 7, 2, -kInf},  // ties and infinities
      {0.1, 0.7, 0.3, 0.9, 0.5, 0.2, 0.8, 0.4, 0.6, 1.0, 0.05, 0.95},
  };
  const double levels[] = {0.1, 1, 2.5, 5, 10, 25, 33.3, 50, 75, 90, 95, 99, 99.9};
  for (const Method& m : methods) {
    const std::optional<SampleMethod> method = find_sample_method(m.name);
    ASSERT_TRUE(method) << m.name;
    for (const auto& cell : cells) {
      std::vector<double> sorted = cell;
      std::sort(sorted.begin(), sorted.end(), [](double l, double r) {
        return total_order_key(std::bit_cast<uint64_t>(l)) <
               total_order_key(std::bit_cast<uint64_t>(r));
      });
      for (double level : levels) {
        SCOPED_TRACE(std::string(m.name) + " n=" + std::to_string(cell.size()) + " " +
                     std::to_string(level));
        const double got = sample_figure(*method, cell.size(), level / 100,
                                         [&](uint64_t r) { return sorted[size_t(r - 1)]; });
        const double expected = model(m.type, m.a, cell, level / 100);
        EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(expected))
            << got << " " << expected;
      }
    }
  }
  for (const char* bad : {"", "0", "10", "Weibull", "type6"}) {
    EXPECT_FALSE(find_sample_method(bad) && std::string(bad) != "type6") << bad;
  }
}

// The selection by buckets finds the keys a sort places at each rank, on sets whose buckets
// are even, skewed, all one key, one heavy key (more than the buckets may gather), and -0 and 0;
// keys of 64 bits and of 32 (their upper halves, with the ties that makes).
TEST(RankSelect, FindsTheKeysASortPlaces) {
  std::mt19937_64 random(11);
  const auto key = [](double v) { return total_order_key(std::bit_cast<uint64_t>(v)); };
  struct Case {
    const char* name;
    size_t n;
    std::function<double(size_t)> value;
  };
  const std::vector<Case> cases = {
      {"few", 5, [&](size_t) { return double(random() % 7); }},
      {"even", 5000, [&](size_t) { return double(random() % 100000) / 3; }},
      {"skewed", 5000, [&](size_t) { return std::exp(double(random() % 2000) / 100); }},
      {"one key", 3000, [](size_t) { return 2.5; }},
      {"heavy key", kMostGathered * 3, [&](size_t i) { return i % 50 == 0 ? double(i) : 0.0; }},
      {"signed zeros", 4000, [&](size_t i) { return i % 3 == 0   ? -0.0
                                                    : i % 3 == 1 ? 0.0
                                                                 : -1.0; }},
      {"wide", 4000,
       [&](size_t) { return std::bit_cast<double>(random() >> 2) * (random() % 2 ? 1 : -1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint64_t> keys;
    for (size_t i = 0; i < c.n; ++i) keys.push_back(key(c.value(i)));
    std::vector<uint64_t> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    std::vector<uint64_t> ranks = {1, 2, c.n / 20 + 1, c.n / 20 + 2, c.n / 2, c.n - 1, c.n};
    std::sort(ranks.begin(), ranks.end());
    ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
    std::vector<uint32_t> narrow;
    for (uint64_t k : keys) narrow.push_back(uint32_t(k >> 32));
    std::vector<uint32_t> narrow_sorted = narrow;
    std::sort(narrow_sorted.begin(), narrow_sorted.end());
    std::vector<uint64_t> found;
    select_ranks(keys, ranks, found);
    ASSERT_EQ(found.size(), ranks.size());
    for (size_t i = 0; i < ranks.size(); ++i) EXPECT_EQ(found[i], sorted[ranks[i] - 1]) << ranks[i];
    select_ranks(narrow, ranks, found);
    ASSERT_EQ(found.size(), ranks.size());
    for (size_t i = 0; i < ranks.size(); ++i) {
      EXPECT_EQ(found[i], narrow_sorted[ranks[i] - 1]) << ranks[i] << ", 32 bits";
    }
  }
}

// A value is kept as a decimal only where its integer gives it back bit for bit, by this
// processor's encoding (vectors, a row at a time) and the plain loop alike; marks of what is not
// pooled take their code, and where the rows as read are given, the read value replaces all but
// those marks.
TEST(KeptDecimals, EncodeWhatComesBackExactly) {
  const double not_read = std::bit_cast<double>(kNotReadBits);
  const double at_bound = std::bit_cast<double>(kAtBoundBits);
  struct Case {
    const char* text;
    int scale;
    bool fits;
    int32_t code;
  };
  const Case cases[] = {
      {"91.73", 2, true, 9173},    {"91.73", 1, false, 0},
      {"91.73", 5, true, 9173000}, {"-3.25", 2, true, -325},
      {"0", 0, true, 0},           {"-0", 0, false, 0},
      {"1.5e-3", 4, true, 15},     {"2147483646", 0, true, 2147483646},
      {"2147483647", 0, false, 0}, {"0.1234567891", 9, false, 0},
      {"inf", 0, false, 0},        {"1e300", 0, false, 0},
      {"0.000000001", 9, true, 1}, {"0.1", 9, true, 100000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " at " + std::to_string(c.scale));
    const double v = std::strtod(c.text, nullptr);
    EXPECT_EQ(fits_decimal(v, c.scale), c.fits);
    // Sixteen of it and a mark, so that the vector loop runs whole vectors and a tail.
    std::vector<double> values(17, v);
    values[16] = not_read;
    for (const auto encode : {encode_decimals_plain, encode_decimals}) {
      std::vector<int32_t> codes(values.size(), -1);
      EXPECT_EQ(encode(values.data(), nullptr, codes.data(), values.size(), c.scale), c.fits);
      EXPECT_EQ(codes[3], c.code);
      EXPECT_EQ(codes[16], kNotPooledCode);
      if (c.fits) {
        EXPECT_EQ(std::bit_cast<uint64_t>(decimal_value(codes[0], c.scale)),
                  std::bit_cast<uint64_t>(v));
      }
    }
  }
  // Transformed rows: their marks of what is not pooled stay, the rest is read in its place.
  std::vector<double> transformed(20, std::log(2.5)), read(20, 2.5);
  transformed[1] = not_read;
  transformed[18] = at_bound;
  read[18] = 0;
  for (const auto encode : {encode_decimals_plain, encode_decimals}) {
    std::vector<int32_t> codes(20);
    EXPECT_TRUE(encode(transformed.data(), read.data(), codes.data(), 20, 1));
    EXPECT_EQ(codes[0], 25);
    EXPECT_EQ(codes[1], kNotPooledCode);
    EXPECT_EQ(codes[18], 0);
  }
  // The least scale from the hint on that fits every value, none past nine places.
  const std::vector<double> mixed = {2.5, 0.125, 7, not_read};
  const auto at = [&](size_t i) { return mixed[i]; };
  EXPECT_EQ(decimal_scale(mixed.size(), at, 0), 3);
  EXPECT_EQ(decimal_scale(mixed.size(), at, 5), 5);
  EXPECT_EQ(decimal_scale(
                2, [](size_t) { return 0.1234567891; }, 0),
            kRawDoubles);
}

class SamplePass : public test::WithTempDir {};

// The narrowing passes under budgets too small for the values give the figures of the values
// kept in memory bit for bit, on one value repeated thousands of times among others, -0 and 0,
// infinities and missing values, plain and gzip files, on 1 and 3 threads.
TEST_F(SamplePass, NarrowingGivesTheFiguresOfTheValuesKept) {
  std::mt19937 random(5);
  std::string records;
  for (int r = 0; r < 6000; ++r) {
    records += "2001 " + std::to_string(1 + r % 12) + " 1 0";
    const auto pick = random() % 10;
    records += pick < 6    ? " 2.5"
               : pick == 6 ? " -0"
               : pick == 7 ? " 0"
               : pick == 8 ? " -9999"
                           : " 1e300";
    records +=
        " " + std::to_string(int(random() % 1000) - 500) + "." + std::to_string(random() % 10);
    records += r % 500 == 0 ? " inf\n" : " " + std::to_string(double(random() % 100000) / 7) + "\n";
  }
  const std::vector<std::string> entries = {
      file("a.dat", test::data_file(3, records)),
      file("b.dat", test::data_file(3, records.substr(0, 9000)))};
  const SampleRequest base{default_sample_method(), {0.1, 5, 25, 50, 75, 95, 99.9}, 1 << 30};
  PassOptions one;
  // The data pass keeps the values as read (LN2 transforms them) when they fit, and gives them
  // up when they do not; either way the figures are those of a second pass that keeps them.
  SampleFigures kept;
  StatsTable table;
  for (const uint64_t keep_budget : {uint64_t{1} << 30, uint64_t{4096}}) {
    table = allocate_table(3);
    KeptValues keeper(3, keep_budget);
    DataPassOptions keeping;
    keeping.tallies.push_back(kept_tally(keeper));
    WarningSink sink;
    ASSERT_FALSE(
        failed(read_data_files(entries, {DistributionMode::LN2, 0.0}, table, sink, keeping)));
    EXPECT_EQ(keeper.given_up.load(), keep_budget < 8 * 10000);
    SampleFigures second;
    ASSERT_FALSE(failed(sample_data_files(entries, table, base, one, second)));
    ASSERT_TRUE(second.kept_in_memory);
    ASSERT_FALSE(failed(sample_data_files(entries, table, base, one, kept, &keeper)));
    EXPECT_EQ(kept.passes, keeper.given_up.load() ? 1 : 0);
    ASSERT_EQ(kept.figures.size(), second.figures.size());
    for (size_t i = 0; i < kept.figures.size(); ++i) {
      ASSERT_EQ(std::bit_cast<uint64_t>(kept.figures[i]),
                std::bit_cast<uint64_t>(second.figures[i]));
    }
  }
  for (const uint64_t memory : {uint64_t{1024}, uint64_t{1} << 13, uint64_t{1} << 16}) {
    for (const int threads : {1, 3}) {
      SCOPED_TRACE(std::to_string(memory) + " bytes, threads " + std::to_string(threads));
      SampleRequest request = base;
      request.memory = memory;
      PassOptions options;
      options.threads = threads;
      options.min_bytes_for_threads = 0;
      options.block_size = 4096;
      SampleFigures narrowed;
      ASSERT_FALSE(failed(sample_data_files(entries, table, request, options, narrowed)));
      EXPECT_FALSE(narrowed.kept_in_memory);
      EXPECT_GE(narrowed.passes, 3);  // counting passes, then the collecting one
      ASSERT_EQ(narrowed.figures.size(), kept.figures.size());
      for (size_t i = 0; i < kept.figures.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint64_t>(narrowed.figures[i]),
                  std::bit_cast<uint64_t>(kept.figures[i]))
            << i;
      }
    }
  }
  // Many levels: a value finds its window among a cell's many by a search.
  SampleRequest many = base;
  many.levels.clear();
  for (double level = 1; level < 100; level += 2.5) many.levels.push_back(level);
  SampleFigures in_memory, narrowed;
  ASSERT_FALSE(failed(sample_data_files(entries, table, many, one, in_memory)));
  many.memory = 1 << 14;
  ASSERT_FALSE(failed(sample_data_files(entries, table, many, one, narrowed)));
  EXPECT_FALSE(narrowed.kept_in_memory);
  ASSERT_EQ(narrowed.figures.size(), in_memory.figures.size());
  for (size_t i = 0; i < in_memory.figures.size(); ++i) {
    ASSERT_EQ(std::bit_cast<uint64_t>(narrowed.figures[i]),
              std::bit_cast<uint64_t>(in_memory.figures[i]))
        << i;
  }
}

// Values kept as decimals (where every value of a block comes back bit for bit from its
// integer) or as doubles give the figures of the doubles read again: scales that differ
// between files, blocks of both forms side by side, what no integer of 32 bits holds.
TEST_F(SamplePass, ValuesKeptAsDecimalsGiveTheFiguresOfTheDoubles) {
  enum Forms { kDecimalsOnly, kBoth, kDoublesOnly };
  struct Case {
    const char* name;
    std::vector<std::string> a, b;  // the values of each file, in turn
    std::string rare;               // once, in the first file
    Forms forms;
  };
  const Case cases[] = {
      {"two decimals",
       {"12.34", "0.05", "1046.55", "-3.25", "7"},
       {"0.5", "99.99"},
       "",
       kDecimalsOnly},
      {"scales differ by file",
       {"17", "3", "250"},
       {"0.001234", "0.5", "12.25"},
       "",
       kDecimalsOnly},
      {"exponents and zeros", {"1.5e-3", "2E2", "-4.25e1", "0", "0.00"}, {"0"}, "", kDecimalsOnly},
      {"at the integer limit", {"2147483646", "-2147483646", "7"}, {"1"}, "", kDecimalsOnly},
      {"nine scales apart",
       {"2147483646", "2147483645", "5"},
       {"0.000000001", "0.5"},
       "",
       kDecimalsOnly},
      {"one long value", {"2.5", "2.5", "3"}, {"2.5", "3"}, "0.1234567890123", kBoth},
      {"one -0", {"2.5", "1"}, {"2.5"}, "-0.00", kBoth},
      {"past the integer limit", {"2147483647", "1"}, {"1e300", "2"}, "", kDoublesOnly},
      {"infinities, -0", {"-0", "0", "inf", "-inf", "5"}, {"0.1234567890123"}, "", kDoublesOnly},
  };
  const SampleRequest request{default_sample_method(), {0.1, 5, 50, 95, 99.9}, 1 << 30};
  for (const Case& c : cases) {
    for (const DistributionMode mode : {DistributionMode::NV, DistributionMode::LN2}) {
      SCOPED_TRACE(std::string(c.name) + (mode == DistributionMode::NV ? ", NV" : ", LN2"));
      const auto records = [](const std::vector<std::string>& values, const std::string& rare) {
        std::string text;
        for (size_t r = 0; r < 1500; ++r) {
          text += "2001 " + std::to_string(1 + r % 12) + " 1 0";
          for (size_t col = 0; col < 3; ++col) {
            const bool once = r == 700 && col == 1 && !rare.empty();
            text += " " + (once            ? rare
                           : r % 97 == col ? "-9999"
                                           : values[(r * 7 + col) % values.size()]);
          }
          text += "\n";
        }
        return text;
      };
      const std::vector<std::string> entries = {
          file("a.dat", test::data_file(3, records(c.a, c.rare))),
          file("b.dat", test::data_file(3, records(c.b, "")))};
      StatsTable table = allocate_table(3);
      KeptValues keeper(3, uint64_t{1} << 30);
      DataPassOptions keeping;
      keeping.tallies.push_back(kept_tally(keeper));
      keeping.pass.block_size = 4096;
      WarningSink sink;
      ASSERT_FALSE(failed(read_data_files(entries, {mode, 0.0}, table, sink, keeping)));
      const auto doubles = std::count_if(keeper.blocks.begin(), keeper.blocks.end(),
                                         [](const KeptBlock& b) { return b.scale == kRawDoubles; });
      EXPECT_EQ(doubles == 0, c.forms == kDecimalsOnly);
      EXPECT_EQ(size_t(doubles) == keeper.blocks.size(), c.forms == kDoublesOnly);
      // Blocks of 3 columns take an odd number of decimals; the doubles after them are aligned.
      for (const KeptBlock& block : keeper.blocks) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block.values) % alignof(double), 0u);
      }
      SampleFigures kept, again;
      ASSERT_FALSE(
          failed(sample_data_files(entries, table, request, PassOptions{}, kept, &keeper)));
      ASSERT_FALSE(failed(sample_data_files(entries, table, request, PassOptions{}, again)));
      ASSERT_EQ(kept.passes, 0);
      ASSERT_EQ(kept.figures.size(), again.figures.size());
      for (size_t i = 0; i < kept.figures.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint64_t>(kept.figures[i]),
                  std::bit_cast<uint64_t>(again.figures[i]))
            << i << ": " << kept.figures[i] << " against " << again.figures[i];
      }
    }
  }
}

// Values that will not fit are given up once the first files foretell it, not copied until the
// budget is spent: with room for half of 32 files, no more than a few are held.
TEST_F(SamplePass, ValuesForetoldNotToFitAreGivenUpEarly) {
  std::string records;
  for (int r = 0; r < 1200; ++r) {
    records += "2001 " + std::to_string(1 + r % 12) + " 1 0 " + std::to_string(r % 101) + ".5 " +
               std::to_string(r % 7) + " 1.25\n";
  }
  std::vector<std::string> entries;
  for (int f = 0; f < 32; ++f) {
    entries.push_back(file("m" + std::to_string(f) + ".dat", test::data_file(3, records)));
  }
  const uint64_t one_file = 1200 * 3 * sizeof(int32_t);
  StatsTable table = allocate_table(3);
  KeptValues keeper(3, 16 * one_file);
  DataPassOptions keeping;
  keeping.tallies.push_back(kept_tally(keeper));
  keeping.pass.block_size = 4096;
  WarningSink sink;
  ASSERT_FALSE(failed(read_data_files(entries, {DistributionMode::NV, 0.0}, table, sink, keeping)));
  EXPECT_TRUE(keeper.given_up.load());
  uint64_t held = 0;
  for (const KeptBlock& block : keeper.blocks) held += block.rows * 3 * sizeof(int32_t);
  EXPECT_LE(held, 4 * one_file);
}

// A file rewritten between the passes under the same name (more or fewer values than the data
// pass counted) is caught by each way the values are read again, never read past a buffer.
TEST_F(SamplePass, AFileRewrittenBetweenThePassesIsCaught) {
  std::string records;
  for (int r = 0; r < 400; ++r)
    records += "2001 " + std::to_string(1 + r % 12) + " 1 0 " + std::to_string(r % 37) + "\n";
  const std::string path = file("a.dat", test::data_file(1, records));
  StatsTable table = allocate_table(1);
  WarningSink sink;
  ASSERT_FALSE(failed(read_data_files({path}, {DistributionMode::NV, 0.0}, table, sink, {})));
  const std::vector<std::string> rewrites = {records.substr(0, records.size() / 2),
                                             records + records, ""};
  for (const std::string& rewritten : rewrites) {
    test::write_file(path, test::data_file(1, rewritten));
    for (const uint64_t memory : {uint64_t{1} << 20, uint64_t{256}, uint64_t{4096}}) {
      SCOPED_TRACE(std::to_string(rewritten.size()) + " bytes, budget " + std::to_string(memory));
      SampleFigures figures;
      ASSERT_FALSE(failed(sample_data_files(
          {path}, table, {default_sample_method(), {5, 50}, memory}, {}, figures)));
      EXPECT_TRUE(figures.changed);
    }
  }
}

}  // namespace
}  // namespace pctlfit
