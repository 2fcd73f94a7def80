// The sample percentiles of a program run on heavy ties (one value repeated a million times
// among others), read as text, gzip and zstd, on one and three threads, kept in memory or
// narrowed in passes under budgets far below the values: the same figures bit for bit, and a
// small budget keeps the program's peak where a run without the sample percentiles has it.
#include <gtest/gtest.h>

#include <random>

#include "compression_util.h"
#include "test_util.h"

namespace pctlfit {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kPeaksMean = false;  // shadow memory
#else
constexpr bool kPeaksMean = true;
#endif

// 2 columns, 400,000 records: column 1 is 5 in five records of six, column 2 spread.
std::string heavy_ties(int part) {
  std::mt19937 random(static_cast<unsigned>(part));
  std::string records;
  for (int r = 0; r < 400000; ++r) {
    records += "2001 " + std::to_string(1 + r % 12) + " 1 0 ";
    records += r % 6 != 0 ? "5" : std::to_string(random() % 1000);
    records += " " + std::to_string(random() % 100000) + "." + std::to_string(random() % 10) + "\n";
  }
  return test::data_file(2, records);
}

TEST(SampleBounds, HeavyTiesGiveOneTableUnderAnyBudgetFormAndThreads) {
  test::TempDir dir;
  test::write_file(dir / "a.dat", heavy_ties(1));
  test::write_file(dir / "b.dat.gz", test::gzip_member(heavy_ties(2)));
  test::write_file(dir / "c.dat" + std::string(test::kHaveZstd ? ".zst" : ""),
                   test::kHaveZstd ? test::zstd_frame(heavy_ties(3)) : heavy_ties(3));
  test::write_file(dir / "list.txt",
                   std::string("a.dat\nb.dat.gz\nc.dat") + (test::kHaveZstd ? ".zst\n" : "\n"));
  const std::string sample = "-q --sample=hazen --levels=1,5,50,83.4,95,99.9 ";
  // The peak of a run without the sample percentiles first: the small budgets may add their
  // budget to it and a little for the later passes' threads (19 MB of values would show).
  ASSERT_EQ(test::run_binary(dir, "-q --table plain.csv list.txt").status, 0);
  const double plain_peak = test::children_peak_mib();
  for (const char* memory : {"256K", "1M"}) {
    const std::string budget = std::string("--memory=") + memory + " ";
    ASSERT_EQ(test::run_binary(dir, sample + budget + "--table " + memory + ".csv list.txt").status,
              0);
  }
  if (kPeaksMean) {
    EXPECT_LT(test::children_peak_mib(), plain_peak + 5) << plain_peak;
  }
  const std::string kept = sample + "--table kept.csv list.txt";
  ASSERT_EQ(test::run_binary(dir, kept).status, 0);
  const std::string table = test::read_file(dir / "kept.csv");
  EXPECT_EQ(test::read_file(dir / "256K.csv"), table);
  EXPECT_EQ(test::read_file(dir / "1M.csv"), table);
  for (const char* threads : {"1", "3"}) {
    for (const char* memory : {"", "--memory=512K "}) {
      SCOPED_TRACE(std::string(threads) + " threads " + memory);
      ASSERT_EQ(test::run_binary(dir, sample + memory + "--table t.csv list.txt", "",
                                 std::string("PCTLFIT_THREADS=") + threads)
                    .status,
                0);
      EXPECT_EQ(test::read_file(dir / "t.csv"), table);
    }
  }
  // January of column 1: five in six values are 5, so its 5 and 50 % are 5.
  const std::string january = table.substr(table.find("\n1,1,") + 1);
  EXPECT_NE(january.find(",5,5,"), std::string::npos) << january.substr(0, 300);
}

}  // namespace
}  // namespace pctlfit
