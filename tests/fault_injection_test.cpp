// Broken inputs and hostile surroundings, run through the built binary. Every case checks the
// message, the exit status, and that every input file is byte for byte what it was.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "test_util.h"

namespace pctlfit {
namespace {

using test::data_file;
using test::kBanner;
using Files = std::map<std::string, std::string>;

std::string random_bytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xff);
  bytes[10] = '\0';  // at least one NUL
  return bytes;
}

struct Case {
  const char* name;
  Files files;
  std::string args;
  int status;
  std::string out;                // after the banner
  std::string err_contains = "";  // a part of standard error, if any
  std::string first_row = "";     // the start of the report's month 1 row, if checked
};

// CTest lists a case by its name, not by its bytes.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class FaultInjection : public ::testing::TestWithParam<Case> {};

TEST_P(FaultInjection, ReportsAndLeavesInputsAlone) {
  const Case& c = GetParam();
  test::TempDir dir;
  for (const auto& [name, text] : c.files) test::write_file(dir / name, text);
  const auto r = run_binary(dir, c.args);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.out, kBanner + c.out);
  if (!c.err_contains.empty()) {
    EXPECT_NE(r.err.find(c.err_contains), std::string::npos) << r.err;
  }
  for (const auto& [name, text] : c.files) {
    EXPECT_EQ(test::read_bytes(dir / name), text) << name << " changed";
  }
  if (!c.first_row.empty()) {
    const std::string report = test::read_file(dir / "list.sta");
    const size_t row = report.find("\n1\t");
    ASSERT_NE(row, std::string::npos) << report;
    EXPECT_EQ(report.substr(row + 1, c.first_row.size()), c.first_row);
  }
}

std::string printed(double value) {
  char text[512];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

const std::string kGood = data_file(1, "2001 1 1 0 2\n");
const std::string kLongLine(1 << 20, 'x');

std::string wide_header(int columns) {
  std::string text = "title\nYYYY MM DD H";
  for (int c = 1; c <= columns; ++c) text += "\tQ" + std::to_string(c);
  return text + "\nunits\n2001 1 1 0" + std::string(static_cast<size_t>(columns), ' ') + "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FaultInjection,
    ::testing::Values(
        Case{"missing_file_in_the_middle",
             {{"list.txt", "a.dat\nmissing.dat\nb.dat\n"}, {"a.dat", kGood}, {"b.dat", kGood}},
             "list.txt",
             2,
             "error opening missing.dat \n"},
        Case{"empty_list",
             {{"list.txt", ""}},
             "list.txt",
             2,
             "list file list.txt names no data file\n"},
        Case{"list_of_blank_lines",
             {{"list.txt", "\n \n\t\n\r\n"}},
             "list.txt",
             2,
             "list file list.txt names no data file\n"},
        Case{"report_is_the_list",
             {{"runs.sta", "a.dat\n"}, {"a.dat", kGood}},
             "runs.sta",
             4,
             "output file runs.sta is also an input file\n"},
        Case{"report_is_a_data_file",
             {{"list.txt", "list.sta\n"}, {"list.sta", kGood}},
             "list.txt",
             4,
             "output file list.sta is also an input file\n"},
        Case{"report_is_a_data_file_spelled_otherwise",
             {{"list.txt", "a.dat\n./list.sta\n"}, {"a.dat", kGood}, {"list.sta", kGood}},
             "list.txt",
             4,
             "output file list.sta is also an input file\n"},
        Case{"megabyte_line_in_data",
             {{"list.txt", "a.dat\n"},
              {"a.dat",
               data_file(1, "2001 1 1 0 2 " + kLongLine + "\n" + kLongLine + "\n2001 1 1 0 4\n")}},
             "list.txt NV",
             0,
             "ready..\n",
             "a.dat:5: not a record",
             "1\t2.00\t3.00\t3.00\t3.00\t4.00"},
        Case{"megabyte_line_in_list",
             {{"list.txt", "a.dat " + kLongLine + "\n"}, {"a.dat", kGood}},
             "list.txt NV",
             0,
             "ready..\n",
             "",
             "1\t2.00\t2.00\t2.00\t2.00\t2.00"},
        Case{"hundred_thousand_columns",
             {{"list.txt", "a.dat\n"}, {"a.dat", wide_header(100000)}},
             "list.txt",
             6,
             "no value could be pooled\n",
             "a.dat:4: only 0 of 100000 values"},
        Case{"binary_data_file",
             {{"list.txt", "a.dat\nb.dat\n"}, {"a.dat", kGood}, {"b.dat", random_bytes(5000, 1)}},
             "list.txt NV",
             0,
             "ready..\n",
             "b.dat"},
        Case{"binary_first_data_file",
             {{"list.txt", "a.dat\n"}, {"a.dat", random_bytes(5000, 2)}},
             "list.txt",
             6,
             "no value could be pooled\n",
             "pctlfit: a record is year, month, day and hour, then one value per column"},
        Case{"binary_first_data_file_short_header",
             {{"list.txt", "a.dat\n"},
              {"a.dat", std::string("\x01\x02\n\0\xff\n", 6) + random_bytes(500, 4)}},
             "list.txt",
             3,
             "'satz' falsch gelesen\n"},
        Case{"months_out_of_range",
             {{"list.txt", "a.dat\n"},
              {"a.dat",
               data_file(1,
                         "2001 -1 1 0 5\n2001 13 1 0 5\n2001 99999999999 1 0 5\n2001 1 1 0 2\n")}},
             "list.txt NV",
             0,
             "ready..\n",
             "a.dat:6: month 99999999999 outside 1..12",
             "1\t2.00\t2.00\t2.00\t2.00\t2.00"},
        Case{
            "non_finite_values",
            {{"list.txt", "a.dat\n"}, {"a.dat", data_file(4, "2001 1 1 0 1e999 -1e999 nan inf\n")}},
            // Strict min and max from +-1e100: a lone inf is the maximum, but not the minimum.
            // -inf and nan are not above -9999: missing, like an empty month.
            "list.txt NV",
            0,
            "ready..\n",
            "",
            "1\t" + printed(1e100) + "\tinf\tinf\tinf\tinf\t" + printed(1e100) +
                "\t0.00\t0.00\t0.00\t" + printed(-1e100) + "\t" + printed(1e100) +
                "\t0.00\t0.00\t0.00\t" + printed(-1e100) + "\t" + printed(1e100) +
                "\tinf\tinf\tinf\tinf\n"},
        Case{"empty_first_data_file",
             {{"list.txt", "a.dat\nb.dat\n"}, {"a.dat", ""}, {"b.dat", kGood}},
             "list.txt",
             3,
             "'satz' falsch gelesen\n"},
        Case{"header_naming_no_column",  // ends in a tab and no newline: zero columns
             {{"list.txt", "zero.dat\nb.dat\n"},
              {"zero.dat", "t\nYYYY MM DD H\t"},
              {"b.dat", kGood}},
             "list.txt",
             6,  // no column to pool into
             "no value could be pooled\n",
             "b.dat: 1 columns, the first file has 0\n"},
        Case{"empty_later_data_file",
             {{"list.txt", "a.dat\nb.dat\n"}, {"a.dat", kGood}, {"b.dat", ""}},
             "list.txt NV",
             0,
             "ready..\n",
             "pctlfit: warning: b.dat: no records\n",
             "1\t2.00\t2.00\t2.00\t2.00\t2.00"}),
    [](const ::testing::TestParamInfo<Case>& case_info) {
      return std::string(case_info.param.name);
    });

TEST(FaultInjectionList, BinaryListFile) {
  test::TempDir dir;
  const std::string list = random_bytes(3000, 3);
  test::write_file(dir / "list.txt", list);
  const auto r = run_binary(dir, "list.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.rfind(kBanner + "error opening file ", 0), 0u) << r.out;
  EXPECT_EQ(test::read_file(dir / "list.txt"), list);
}

TEST(FaultInjectionList, DataFileThatIsADirectory) {
  for (const char* list : {"folder\n", "a.dat\nfolder\n"}) {
    SCOPED_TRACE(list);
    test::TempDir dir;
    std::filesystem::create_directory(dir.path / "folder");
    test::write_file(dir / "a.dat", kGood);
    test::write_file(dir / "list.txt", list);
    const auto r = run_binary(dir, "list.txt");
    EXPECT_EQ(r.status, 2);
    const bool first = list[0] == 'f';
    EXPECT_EQ(r.out, kBanner + (test::kFolderOpens ? "error reading folder \n"
                                : first            ? "error opening file folder \n"
                                                   : "error opening folder \n"));
    EXPECT_EQ(test::read_file(dir / "a.dat"), kGood);
  }
}

TEST(FaultInjectionList, ReportOnAFullDisk) {
  if (test::kWindows) GTEST_SKIP() << "no /dev/full on Windows";
  test::TempDir dir;
  test::write_file(dir / "a.dat", kGood);
  test::write_file(dir / "list.txt", "a.dat\n");
  std::filesystem::create_symlink("/dev/full", dir.path / "list.sta");
  const auto r = run_binary(dir, "list.txt");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kBanner + "error writing output file list.sta \n");
  EXPECT_EQ(test::read_file(dir / "a.dat"), kGood);
  EXPECT_EQ(test::read_file(dir / "list.txt"), "a.dat\n");
}

}  // namespace
}  // namespace pctlfit
