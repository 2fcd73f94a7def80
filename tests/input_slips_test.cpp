// Slips found in real studies that used to give wrong figures with status 0: each now gives the
// right figures or a warning that --strict counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/heading_match.h"
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

// A member that pools nothing (its fields separated by commas) is named once; a member that
// holds a run twice is named at each repeated date; records need not be in time order, and
// month-0 records (annual means) may share a date.
TEST_F(InputSlips, FilesThatPoolNothingOrHoldARunTwice) {
  struct Case {
    const char* name;
    std::string records;
    std::vector<std::string> warned;  // after "pctlfit: warning: a.dat"
  };
  const Case cases[] = {
      {"commas", "2001,1,1,0,1.5\n2001,2,1,0,2.5\n",
       {":4: not a record: \"2001,1,1,0,1.5\"; its fields are separated by ',', where blanks or "
        "tabs belong",
        ":5: not a record: \"2001,2,1,0,2.5\"; its fields are separated by ',', where blanks or "
        "tabs belong",
        ": none of its 2 lines pooled: none is a record of a month 1..12"}},
      {"appended to itself", "2001 1 1 0 1\n2001 2 1 0 2\n2001 1 1 0 1\n2001 2 1 0 2\n",
       {":6: 2001-01-01 0h again (first on line 4): the file may hold a run twice",
        ":7: 2001-02-01 0h again (first on line 5): the file may hold a run twice"}},
      {"sorted by month, then year", "2001 1 1 0 1\n2002 1 1 0 2\n2001 2 1 0 3\n2002 2 1 0 4\n",
       {}},
      {"annual means of month 0", "2001 1 1 0 1\n2001 0 1 0 5\n2001 0 1 0 5\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file("a.dat", data_file(1, c.records));
    file("b.dat", data_file(1, "2001 1 1 0 1\n2001 2 1 0 1\n"));
    file("list.txt", "b.dat\na.dat\n");
    const auto r = test::run_binary(dir, "-q list.txt");
    EXPECT_EQ(r.status, 0);
    std::string expected;
    for (const std::string& w : c.warned) expected += "pctlfit: warning: a.dat" + w + "\n";
    EXPECT_EQ(r.err.substr(0, r.err.find("pctlfit: warning: column")), expected);
    EXPECT_EQ(test::run_binary(dir, "-q --strict list.txt").status, c.warned.empty() ? 0 : 5);
  }
}

// The date layout: impossible dates and times, and an offset after the time, are named per line;
// the offset is skipped, so the values keep their columns.
TEST_F(InputSlips, DatesChecked) {
  file("a.dat", "title\nDATE\tSB1\tSB2\n2001-02-30\t1\t2\n2001-01-01 25:99\t1\t2\n"
                "2001-01-02 00:00 +0100\t1\t2\n");
  file("list.txt", "a.dat\n");
  const auto r = test::run_binary(dir, "-q --layout=date list.txt --table=t.csv");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.starts_with(
      "pctlfit: warning: a.dat:3: \"2001-02-30\" is no day of the calendar; the record is pooled "
      "by its month\n"
      "pctlfit: warning: a.dat:4: \"2001-01-01 25:99\" holds no time of a clock; the record is "
      "pooled by its month\n"
      "pctlfit: warning: a.dat:5: \"2001-01-02 00:00 +0100\": a time zone offset after the time "
      "is no value; it is skipped\n"))
      << r.err;
  EXPECT_EQ(lines_starting(test::read_file(dir / "t.csv"), "1,SB1,1,2,0,").size(), 1u);
}

TEST(HeadingMatch, Compared) {
  struct Case {
    std::vector<std::string> later;
    HeadingMatch match;
    std::vector<int> order;
    std::string note;
  };
  const std::vector<std::string> first = {"SB1", "SB2", "SB3"};
  const Case cases[] = {
      {{"SB1", "SB2", "SB3"}, HeadingMatch::same, {}, ""},
      {{"SB2", "SB1", "SB3"}, HeadingMatch::reordered, {1, 0, 2},
       "its columns stand in another order than the first file's: SB2 is column 1 here, column 2 "
       "in the first file; each value is pooled under its heading"},
      {{"SB1", "SB3", "SB2"}, HeadingMatch::reordered, {0, 2, 1},
       "its columns stand in another order than the first file's: SB3 is column 2 here, column 3 "
       "in the first file; each value is pooled under its heading"},
      {{"SB1", "SB2", "SB4"}, HeadingMatch::renamed, {},
       "column 3 is headed \"SB4\", in the first file \"SB3\"; the values are pooled by "
       "position, as the first file names them"},
      {{"SB1", "SB1", "SB3"}, HeadingMatch::renamed, {},
       "column 2 is headed \"SB1\", in the first file \"SB2\"; the values are pooled by "
       "position, as the first file names them"},
      {{"SB1", "SB2"}, HeadingMatch::other_count, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    const HeadingComparison comparison = compare_headings(first, c.later);
    EXPECT_EQ(comparison.match, c.match);
    EXPECT_EQ(comparison.order, c.order);
    EXPECT_EQ(describe_heading_difference(comparison, first, c.later), c.note);
  }
  // Headings that repeat cannot be matched by name: another order is pooled by position.
  EXPECT_EQ(compare_headings({"Q", "Q"}, {"Q", "Q"}).match, HeadingMatch::same);
  EXPECT_EQ(compare_headings({"Q", "Q", "R"}, {"R", "Q", "Q"}).match, HeadingMatch::renamed);
}

// A member whose columns stand in another order is pooled by heading: the report, the sample
// percentiles and the fit check are those of the member written in the first file's order.
TEST_F(InputSlips, ReorderedColumnsPooledByHeading) {
  std::string first, reordered, in_order;
  for (int year = 2001; year <= 2010; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const std::string date = std::to_string(year) + "\t" + std::to_string(month) + "\t1\t0\t";
      const double a = year - 1990 + month * 0.5, b = 100 + year % 7, c = 3.0 + month;
      const std::string va = std::to_string(a), vb = std::to_string(b), vc = std::to_string(c);
      first += date + vc + "\t" + va + "\t" + vb + "\n";
      reordered += date + vb + "\t" + va + "\t" + vc + "\n";
      in_order += date + vc + "\t" + va + "\t" + vb + "\n";
    }
  }
  // The last record of the reordered file is short: its missing value stays in its column.
  reordered += "2011\t1\t1\t0\t7.5\t2.5\n";
  in_order += "2011\t1\t1\t0\t-9999\t2.5\t7.5\n";
  const auto header = [](const std::string& headings) {
    return "monthly values\nYYYY MM DD H\t" + headings + "\nm3/s\n";
  };
  file("a.dat", header("SB1\tSB2\tSB3") + first);
  file("b.dat", header("SB3\tSB2\tSB1") + reordered);
  file("c.dat", header("SB1\tSB2\tSB3") + in_order);
  file("moved.txt", "a.dat\nb.dat\n");
  file("plain.txt", "a.dat\nc.dat\n");
  const std::string options = " --table=t.csv --sample --check-fit --levels=10,90";
  const auto moved = test::run_binary(dir, "-q moved.txt" + options);
  EXPECT_EQ(moved.status, 0);
  EXPECT_NE(moved.err.find("pctlfit: warning: b.dat: its columns stand in another order than the "
                           "first file's: SB3 is column 1 here, column 3 in the first file; each "
                           "value is pooled under its heading\n"),
            std::string::npos)
      << moved.err;
  const std::string moved_table = test::read_file(dir / "t.csv");
  ASSERT_EQ(test::run_binary(dir, "-q plain.txt" + options).status, 0);
  EXPECT_EQ(month_rows(dir / "moved.sta"), month_rows(dir / "plain.sta"));
  // The value that the short record lacks is not read, where -9999 is missing: their only
  // difference.
  std::string plain_table = test::read_file(dir / "t.csv");
  const size_t january = plain_table.find("\n1,SB1,1,20,1,");
  ASSERT_NE(january, std::string::npos);
  plain_table[january + 12] = '0';
  EXPECT_EQ(moved_table, plain_table);
  EXPECT_EQ(test::run_binary(dir, "-q --strict moved.txt").status, 5);
}

}  // namespace
}  // namespace pctlfit
