// Slips found in real studies that used to give wrong figures with status 0: each now gives the
// right figures or a warning that --strict counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_util.h"

namespace pctlfit {
namespace {

using test::data_file;

class InputSlips : public test::WithTempDir {};

// The lines of `text` that start with `prefix`.
std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.starts_with(prefix)) found.push_back(line);
    start = end + 1;
  }
  return found;
}

// A report without its two head lines, which name the files.
std::string month_rows(const std::string& report) {
  const std::string text = test::read_file(report);
  return text.substr(text.find('\n', text.find('\n') + 1) + 1);
}

// An empty field between two tabs is a missing value of its own column: the columns after it
// keep their values, it counts as missing, and one warning per file names its line.
TEST_F(InputSlips, EmptyTabFieldIsMissingInPlace) {
  const std::string header = "monthly values\nYYYY MM DD H\tSB1\tSB2\tSB3\tSB4\nm3/s\n";
  file("a.dat", header +
                    "2001\t1\t1\t0\t1\t2\t3\t4\n"
                    "2002\t1\t1\t0\t1\t2\t\t4\n"
                    "2003\t1\t1\t0\t1\t2\t3\t4\n"
                    "2004\t1\t1\t0\t\t2\t3\t4\n");
  file("same.dat", header +
                       "2001\t1\t1\t0\t1\t2\t3\t4\n"
                       "2002\t1\t1\t0\t1\t2\t-9999\t4\n"
                       "2003\t1\t1\t0\t1\t2\t3\t4\n"
                       "2004\t1\t1\t0\t-9999\t2\t3\t4\n");
  file("list.txt", "a.dat\n");
  file("same.txt", "same.dat\n");
  const auto r = test::run_binary(dir, "-q list.txt NV --table=t.csv");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.starts_with(
            "pctlfit: warning: a.dat:5: an empty field between two tabs: value 3 (SB3) is missing; "
            "the values after it keep their columns (further empty fields of this file are not "
            "named)\n"))
      << r.err;
  ASSERT_EQ(test::run_binary(dir, "-q same.txt NV --table=same.csv").status, 0);
  EXPECT_EQ(month_rows(dir / "list.sta"), month_rows(dir / "same.sta"));
  EXPECT_EQ(lines_starting(test::read_file(dir / "t.csv"), "3,SB3,1,"),
            lines_starting(test::read_file(dir / "same.csv"), "3,SB3,1,"));
  EXPECT_EQ(test::run_binary(dir, "-q --strict list.txt NV").status, 5);
}

}  // namespace
}  // namespace pctlfit
