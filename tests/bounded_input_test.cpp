// Files made to exhaust memory: a gigabyte of blanks in a record line, a field of a million
// digits, a header of 20 MB, a file without a newline. Each run ends as the bounds say, and the
// program's peak memory stays far below the input's size.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "compression_util.h"
#include "test_util.h"

namespace pctlfit {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

// `text`, then `count` MiB of blanks, then `after`, as gzip members: the blanks are one member
// of 1 MiB compressed once and repeated, so that a gigabyte takes one megabyte on disk.
std::string gzip_with_blanks(const std::string& text, size_t count, const std::string& after) {
  const std::string blanks = test::gzip_member(std::string(kMiB, ' '));
  std::string bytes = test::gzip_member(text);
  for (size_t i = 0; i < count; ++i) bytes += blanks;
  return bytes + test::gzip_member(after);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr double kPeakLimitMiB = 512;  // shadow memory and the allocator's quarantine
#else
constexpr double kPeakLimitMiB = 64;
#endif

const std::string kHead = "monthly\nYYYY MM DD H\tQ1\tQ2\nm3/s\n";
const std::string kRecords = "2001 1 1 0 1.5 2.5\n2001 2 1 0 3 4\n";

TEST(BoundedInput, BombsEndWithBoundedMemory) {
  struct Case {
    const char* name;
    std::string bytes;  // the only data file, a.dat
    int status;
    std::string output;  // the end of standard output
    std::string errors;  // the start of standard error
  };
  const std::string too_long =
      "pctlfit: warning: a.dat:4: not a record: its first 6 fields do "
      "not end within 65664 bytes; the line is skipped\n";
  const Case cases[] = {
      {"a gigabyte of blanks after the values",
       gzip_with_blanks(kHead + "2001 1 1 0 1.5 2.5", 1024, "\n2001 2 1 0 3 4\n"), 0, "ready..\n",
       "pctlfit: warning: column 1 (Q1): no values in months 3,"},
      {"a gigabyte of blanks between two values",
       gzip_with_blanks(kHead + "2001 1 1 0 1.5", 1024, "2.5\n" + kRecords), 0, "ready..\n",
       too_long},
      {"a field of a million digits",
       kHead + "2001 1 1 0 " + std::string(kMiB, '7') + "\n" + kRecords, 0, "ready..\n", too_long},
      {"a header of 20 MB",
       gzip_with_blanks("monthly\nYYYY MM DD H\tQ1", 20, "\tQ2\nm3/s\n" + kRecords), 3,
       "column header line of a.dat is longer than 16777216 bytes (16 MiB)\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::write_file(dir / "a.dat", c.bytes);
    test::write_file(dir / "list.txt", "a.dat\n");
    const test::RunResult r = test::run_binary(dir, "list.txt");
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(r.out.ends_with(c.output)) << r.out;
    EXPECT_TRUE(r.err.starts_with(c.errors)) << r.err;
    if (c.status == 0) {  // the same figures as without the blanks
      test::write_file(dir / "a.dat", kHead + kRecords);
      ASSERT_EQ(test::run_binary(dir, "-o plain.sta list.txt").status, 0);
      const std::string rows = test::read_file(dir / "list.sta");
      const std::string plain_rows = test::read_file(dir / "plain.sta");
      EXPECT_EQ(rows.substr(rows.find("\n1\t")), plain_rows.substr(plain_rows.find("\n1\t")));
    }
  }
  EXPECT_LT(test::children_peak_mib(), kPeakLimitMiB);
}

// A file without any newline (a binary file listed by mistake): a gigabyte of NULs, sparse on
// disk. As the first file it has no header line; as a later one, no records.
TEST(BoundedInput, AFileWithoutNewlines) {
  test::TempDir dir;
  std::ofstream(dir / "binary.dat").close();
  std::filesystem::resize_file(dir / "binary.dat", 1024 * kMiB);
  test::write_file(dir / "a.dat", kHead + kRecords);
  test::write_file(dir / "first.txt", "binary.dat\na.dat\n");
  test::write_file(dir / "later.txt", "a.dat\nbinary.dat\n");
  const test::RunResult first = test::run_binary(dir, "first.txt");
  EXPECT_EQ(first.status, 3);
  EXPECT_TRUE(first.out.ends_with("'satz' falsch gelesen\n")) << first.out;
  EXPECT_EQ(test::run_binary(dir, "later.txt").status, 0);
  EXPECT_LT(test::children_peak_mib(), kPeakLimitMiB);
}

}  // namespace
}  // namespace pctlfit
