#include "passes/data_pass.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>

#include "compression_util.h"
#include "input/header.h"
#include "input/record/record_parser.h"
#include "test_util.h"

namespace pctlfit {
namespace {

using test::data_file;

struct PassResult {
  InputError error;
  StatsTable table;
  std::string warnings;
  CellCounts missing;
};

PassResult pass(const std::vector<std::string>& entries, int columns,
                Distribution dist = {DistributionMode::NV, 0.0}, DataPassOptions options = {}) {
  PassResult result;
  result.table = allocate_table(columns);
  std::vector<std::string> headings;  // the first file's, as the run reads them
  int first_columns = 0;
  if (!entries.empty()) count_columns("list.txt", entries, first_columns, headings);
  if (options.headings == nullptr) options.headings = &headings;
  result.missing = allocate_cell_counts(columns);
  if (options.missing_counts == nullptr) options.missing_counts = &result.missing;
  WarningSink sink;
  sink.out = std::tmpfile();
  result.error = read_data_files(entries, dist, result.table, sink, options);
  result.warnings = test::read_stream(sink.out);
  return result;
}

class DataPass : public test::WithTempDir {};

TEST_F(DataPass, MissingValuesAndMonthZero) {
  const auto a = file("a.dat", data_file(3,
                                         "2001 3 1 0 1.5 -9999 2.0\n"
                                         "2001 3 2 0 -9999.0 -9998.99 -10000\n"
                                         "2001 0 1 0 5 5 5\n"));
  const PassResult r = pass({a}, 3);
  ASSERT_FALSE(failed(r.error));
  EXPECT_EQ(table_cell(r.table, 1, 3).count, 1.0);
  EXPECT_EQ(table_cell(r.table, 2, 3).count, 1.0);  // -9998.99 is above the marker
  EXPECT_EQ(table_cell(r.table, 2, 3).sum, -9998.99);
  EXPECT_EQ(table_cell(r.table, 3, 3).sum, 2.0);
  double total = 0;
  for (const MonthStats& cell : r.table.cells) total += cell.count;
  EXPECT_EQ(total, 3.0);  // nothing from month 0
  EXPECT_EQ(r.warnings, "");
}

TEST_F(DataPass, SameStatisticsForEquivalentFiles) {
  const std::string records = "2001 1 1 0 1 2\n\n2001 2 1 0 3e0 +4\n2001 1 2 0 5 6 7 8\n";
  const PassResult plain = pass({file("plain.dat", data_file(2, records))}, 2);
  std::string no_newline = data_file(2, records);
  no_newline.pop_back();
  std::string crlf;
  for (char c : data_file(2, records)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const auto& [name, text] :
       {std::pair{"no_newline.dat", no_newline}, std::pair{"crlf.dat", crlf},
        std::pair{"bom.dat", "\xEF\xBB\xBF" + data_file(2, records)}}) {
    SCOPED_TRACE(name);
    const PassResult other = pass({file(name, text)}, 2);
    ASSERT_EQ(other.table.cells.size(), plain.table.cells.size());
    EXPECT_EQ(std::memcmp(other.table.cells.data(), plain.table.cells.data(),
                          plain.table.cells.size() * sizeof(MonthStats)),
              0);
    EXPECT_EQ(other.warnings.substr(other.warnings.find(":7:")),
              ":7: 4 values, the header names 2 columns; values after the 2nd are not read\n");
  }
  EXPECT_EQ(table_cell(plain.table, 1, 1).sum, 6.0);  // 1 + 5; 7 and 8 are extra values
  EXPECT_EQ(table_cell(plain.table, 2, 2).sum, 4.0);
}

TEST_F(DataPass, SameFileTwiceCountsTwice) {
  const auto a = file("a.dat", data_file(1, "2001 1 1 0 2\n"));
  const PassResult r = pass({a, a}, 1);
  EXPECT_EQ(table_cell(r.table, 1, 1).count, 2.0);
}

TEST_F(DataPass, MalformedLinesWarnAndKeepWhatPrecedes) {
  const auto a = file("a.dat", data_file(3,
                                         "2001 1 1 0 1 2 3\n"
                                         "not a record\n"
                                         "2001 13 1 0 1 2 3\n"
                                         "2001 2 1 0 4 x 6\n"
                                         "2001 2 2 0 7\n"
                                         "2001 2 3 0 8 9 10\n"));
  const PassResult r = pass({a}, 3);
  EXPECT_EQ(r.warnings, "pctlfit: warning: " + a +
                            ":5: not a record: \"not a record\"\n"
                            "pctlfit: warning: " +
                            a +
                            ":6: month 13 outside 1..12\n"
                            "pctlfit: warning: " +
                            a +
                            ":7: value 2 (Q2) is not a number: \"x\"; it is left out as missing\n"
                            "pctlfit: warning: " +
                            a + ":8: only 1 of 3 values\n");
  EXPECT_EQ(table_cell(r.table, 1, 2).sum, 4.0 + 7 + 8);
  EXPECT_EQ(table_cell(r.table, 2, 2).sum, 9.0);  // the next line is not read into
  EXPECT_EQ(table_cell(r.table, 3, 2).sum, 6.0 + 10.0);
}

// A value is a whole field: a typo must not move later values into other columns, and it is
// one missing value, the record's others being pooled.
TEST_F(DataPass, ValueFields) {
  struct Case {
    std::string values;          // after "2001 1 1 0 ", under the headings A, B, C
    std::vector<double> counts;  // values accumulated into A, B, C
    std::vector<double> sums;
    std::string warning;  // after "FILE:4: ", empty for none
  };
  const std::string header = "title\nYYYY MM DD H\tA\tB\tC\nunits\n";
  const std::string one = "\"; it is left out as missing";
  const Case cases[] = {
      {"12.5.3\t20.0\t30.0", {0, 1, 1}, {0, 20, 30}, "value 1 (A) is not a number: \"12.5.3" + one},
      {"1 4.7O1 1,0",
       {1, 0, 0},
       {1, 0, 0},
       "value 2 (B) is not a number: \"4.7O1\"; it and 1 more are left out as missing"},
      {"1 2 1,0",
       {1, 1, 0},
       {1, 2, 0},
       "value 3 (C) is not a number: \"1,0" + one +
           " (a decimal comma: values are written with a point, 1.0)"},
      {"1.5x 2 3", {0, 1, 1}, {0, 2, 3}, "value 1 (A) is not a number: \"1.5x" + one},
      {"2.0e 2 3", {0, 1, 1}, {0, 2, 3}, "value 1 (A) is not a number: \"2.0e" + one},
      {"abc 2 3", {0, 1, 1}, {0, 2, 3}, "value 1 (A) is not a number: \"abc" + one},
      // Fixed-width output runs a negative value into the one before: a sign ends a field.
      {"12.5-9999.000 3", {1, 0, 1}, {12.5, 0, 3}, ""},
      {"1.0-2.0 3", {1, 1, 1}, {1, -2, 3}, ""},
      {"1e1 +2 -9999", {1, 1, 0}, {10, 2, 0}, ""},  // exponent, plus sign, missing
      {"0x10 inf 2.", {1, 1, 1}, {16, INFINITY, 2}, ""},
      // The four integers are whole fields too: "0.5" as the hour is no record.
      {"", {0, 0, 0}, {0, 0, 0}, "not a record: \"2001 1 1 0.5 1 2 3\""},
      {"1 2 3 4 5",
       {1, 1, 1},
       {1, 2, 3},
       "5 values, the header names 3 columns; values after the 3rd are not read"},
      {"1 2 3 # note", {1, 1, 1}, {1, 2, 3}, ""},  // words after the values are not counted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.values);
    const std::string line = c.values.empty() ? "2001 1 1 0.5 1 2 3" : "2001 1 1 0 " + c.values;
    const auto a = file("a.dat", header + line + "\n");
    const PassResult r = pass({a}, 3);
    const bool is_record = !c.values.empty();
    for (int column = 1; column <= 3; ++column) {
      const double count = c.counts[size_t(column - 1)];
      EXPECT_EQ(table_cell(r.table, column, 1).count, count) << column;
      if (count > 0) {
        EXPECT_EQ(table_cell(r.table, column, 1).sum, c.sums[size_t(column - 1)]);
      }
      // A value not pooled from a record is counted missing, a number or not.
      const uint32_t missing = r.missing.cells[cell_index(r.missing, column, 1)];
      EXPECT_EQ(missing, is_record && count == 0 ? 1u : 0u) << column;
    }
    const std::string pooled_none =
        is_record ? ""
                  : "pctlfit: warning: " + a +
                        ": none of its 1 lines pooled: none is a record of a month 1..12\n";
    EXPECT_EQ(r.warnings, c.warning.empty()
                              ? ""
                              : "pctlfit: warning: " + a + ":4: " + c.warning + "\n" + pooled_none);
  }
}

TEST_F(DataPass, ExtraValuesNamedOncePerFileAndBadFieldsShortened) {
  const auto a = file("a.dat", data_file(1, "2001 1 1 0 1\n2001 1 2 0 1 2 3\n2001 1 3 0 1 2\n"));
  const auto b = file(
      "b.dat", data_file(1, "2001 1 1 0 " + std::string(100, '7') + "x\n" + "2001 1 2 0 1 2\n"));
  std::vector<std::string> no_headings;
  DataPassOptions options;
  options.headings = &no_headings;  // a heading that is not known is left out
  const PassResult r = pass({a, b}, 1, {DistributionMode::NV, 0.0}, options);
  EXPECT_EQ(r.warnings,
            "pctlfit: warning: " + a +
                ":5: 3 values, the header names 1 columns; values after the 1st are not read\n"
                "pctlfit: warning: " +
                b + ":4: value 1 is not a number: \"" + std::string(37, '7') +
                "...\"; it is left out as missing\n" + "pctlfit: warning: " + b +
                ":5: 2 values, the header names 1 columns; values after the 1st are not read\n");
}

// A line that is no record is quoted (its start, escaped), with the separator it holds where
// blanks or tabs belong; a value with a decimal comma is named as one.
TEST_F(DataPass, WarningsQuoteTheLineAndNameItsSeparator) {
  struct Case {
    std::string line;
    std::string warning;  // after "FILE:4: "
  };
  const std::string semicolons = "; its fields are separated by ';', where blanks or tabs belong";
  const Case cases[] = {
      {"2001;1;1;0;12,5;3,25", "not a record: \"2001;1;1;0;12,5;3,25\"" + semicolons},
      {"2001,1,1,0,12.5,3.25",
       "not a record: \"2001,1,1,0,12.5,3.25\"; its fields are separated by ',', where blanks "
       "or tabs belong"},
      {"2001-01-01\t12.5 \"x\"\\\x01", "not a record: \"2001-01-01\\t12.5 \\\"x\\\"\\\\\\x01\""},
      {std::string(70, 'z'), "not a record: \"" + std::string(60, 'z') + "...\""},
      {"2001 1 1 0 -0,5 2",
       "value 1 (Q1) is not a number: \"-0,5\"; it is left out as missing (a decimal comma: "
       "values are written with a point, -0.5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto a = file("a.dat", data_file(2, c.line + "\n"));
    const bool record = c.line.starts_with("2001 1");
    EXPECT_EQ(pass({a}, 2).warnings,
              "pctlfit: warning: " + a + ":4: " + c.warning + "\n" +
                  (record ? ""
                          : "pctlfit: warning: " + a +
                                ": none of its 1 lines pooled: none is a record of a month "
                                "1..12\n"));
  }
}

TEST_F(DataPass, WarningsAreLimitedPerFile) {
  std::string records;
  for (int i = 0; i < 25; ++i) records += "junk\n";
  const auto a = file("a.dat", data_file(1, records));
  const auto b = file("b.dat", data_file(1, "junk\n"));
  const PassResult r = pass({a, b}, 1);
  EXPECT_NE(r.warnings.find(a + ":23: not a record: \"junk\"\n"), std::string::npos);
  EXPECT_EQ(r.warnings.find(a + ":24:"), std::string::npos);
  EXPECT_NE(r.warnings.find("pctlfit: warning: " + a + ": 5 more warnings not shown\n"),
            std::string::npos);
  EXPECT_NE(r.warnings.find(b + ":4: not a record: \"junk\"\n"), std::string::npos);
}

TEST_F(DataPass, ColumnCountOfLaterFiles) {
  const auto a = file("a.dat", data_file(2, "2001 1 1 0 1 2\n"));
  const auto b = file("b.dat", data_file(3, "2001 1 1 0 1 2 3\n"));
  const PassResult r = pass({a, b}, 2);
  EXPECT_EQ(r.warnings, "pctlfit: warning: " + b + ": 3 columns, the first file has 2\n" +
                            "pctlfit: warning: " + b +
                            ":4: 3 values, the header names 2 columns; values after the 2nd are "
                            "not read\n");
  EXPECT_EQ(table_cell(r.table, 2, 1).count, 2.0);
}

TEST_F(DataPass, FilesWithoutRecordsAreNamed) {
  const auto a = file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  const auto empty = file("empty.dat", "");
  const auto two = file("two.dat", "title\nYYYY MM DD H\tQ1\n");
  const auto blank = file("blank.dat", data_file(1, "\n  \n"));
  const auto bad = file("bad.dat", data_file(1, "x\n"));  // named for its line instead
  const PassResult r = pass({a, empty, two, blank, bad}, 1);
  ASSERT_FALSE(failed(r.error));
  EXPECT_EQ(table_cell(r.table, 1, 1).count, 1.0);
  const std::string warning = "pctlfit: warning: ";
  EXPECT_EQ(r.warnings, warning + empty + ": no records\n" + warning + two + ": no records\n" +
                            warning + blank + ": no records\n" + warning + bad +
                            ":4: not a record: \"x\"\n" + warning + bad +
                            ": none of its 1 lines pooled: none is a record of a month 1..12\n");
}

TEST_F(DataPass, StopsAtAFileThatCannotBeReadOrOpened) {
  const auto a = file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  PassResult r = pass({a, dir / "missing.dat", a}, 1);
  EXPECT_EQ(r.error.kind, InputErrorKind::data_cannot_open);
  EXPECT_EQ(r.error.path, dir / "missing.dat");
  r = pass({a, dir.path.string()}, 1);
  EXPECT_EQ(r.error.kind, test::kFolderOpens ? InputErrorKind::data_cannot_read
                                             : InputErrorKind::data_cannot_open);
  EXPECT_EQ(r.error.path, dir.path.string());
}

// A record line is read up to longest_record_line (65600 bytes for one column); the rest of a
// longer line is skipped, whether it spans blocks or not.
TEST_F(DataPass, LongLines) {
  const size_t bound = longest_record_line(1);
  const std::string record = "2001 1 1 0 3";
  const auto blanks = [](size_t n) { return std::string(n, ' '); };
  struct Case {
    const char* name;
    std::string line;  // line 4, followed by "2001 1 1 0 4" and a bad line 6
    double sum;        // of January
    std::string warning_at_4;
  };
  const std::string too_long = "not a record: its first 5 fields do not end within 65600 bytes";
  const Case cases[] = {
      {"blanks after the values", record + blanks(3 << 20), 7.0, ""},
      {"fields end one byte before the bound", blanks(bound - record.size() - 1) + record + " 9",
       7.0, ""},
      // The value reaches the cut: it might go on, so it is not taken.
      {"value ends at the bound", blanks(bound - record.size()) + record + "9 9", 4.0, too_long},
      {"blanks between the values", "2001 1 1 0" + blanks(2 << 20) + "3", 4.0, too_long},
      {"one field of many digits", "2001 1 1 0 " + std::string(1 << 20, '7'), 4.0, too_long},
      {"blank line", blanks(1 << 20), 4.0, too_long},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto a = file("a.dat", std::string(1 << 20, 'x') + "\nYYYY MM DD H\tQ1\nm\n" + c.line +
                                     "\n2001 1 2 0 4\nbad\n");
    DataPassOptions options;
    options.pass.block_size = 4096;
    const PassResult r = pass({a}, 1, {DistributionMode::NV, 0.0}, options);
    EXPECT_EQ(table_cell(r.table, 1, 1).sum, c.sum);
    const std::string at_6 = "pctlfit: warning: " + a + ":6: not a record: \"bad\"\n";
    const std::string at_4 = "pctlfit: warning: " + a + ":4: " + c.warning_at_4;
    EXPECT_EQ(r.warnings, c.warning_at_4.empty() ? at_6 : at_4 + "; the line is skipped\n" + at_6);
  }
}

// Many files, many columns, awkward values: the threaded pass must give the same bits.
TEST_F(DataPass, ThreadsGiveIdenticalSums) {
  std::mt19937 random(7);
  std::vector<std::string> entries;
  for (int f = 0; f < 6; ++f) {
    std::string records;
    for (int year = 0; year < 40; ++year) {
      for (int month = 0; month <= 12; ++month) {
        records += std::to_string(1950 + year) + " " + std::to_string(month) + " 1 0";
        for (int c = 0; c < 37; ++c) {
          const auto pick = random() % 50;
          records += pick == 0 ? " -9999" : pick == 1 ? " 0" : pick == 2 ? " -0.5" : " ";
          if (pick > 2) records += std::to_string(static_cast<double>(random() % 100000) / 997.0);
        }
        records += "\n";
      }
    }
    std::string name = "f";
    name += std::to_string(f);
    name += ".dat";
    entries.push_back(file(name, data_file(37, records)));
  }
  for (DistributionMode mode :
       {DistributionMode::NV, DistributionMode::LN2, DistributionMode::LN3}) {
    SCOPED_TRACE(static_cast<int>(mode));
    const Distribution dist{mode, 0.25};
    const PassResult single = pass(entries, 37, dist);
    DataPassOptions threaded;
    threaded.pass.threads = 3;
    threaded.pass.min_bytes_for_threads = 0;
    threaded.pass.block_size = 1000;
    const PassResult multi = pass(entries, 37, dist, threaded);
    ASSERT_EQ(single.table.cells.size(), multi.table.cells.size());
    EXPECT_EQ(std::memcmp(single.table.cells.data(), multi.table.cells.data(),
                          single.table.cells.size() * sizeof(MonthStats)),
              0);
  }
}

// Plain files read at offsets, by any number of threads, against the files read in turn: lines
// that cross the extents' edges, lines longer than the longest a record may be (cut, the rest
// skipped), CR LF, blank and malformed lines (the warnings' line numbers), a last line without
// its newline, files without records, compressed files among them; 100 columns, so that the sums
// are shared out in ranges.
TEST_F(DataPass, ExtentsReadAsTheStream) {
  constexpr int kColumns = 100;
  std::mt19937 random(11);
  const auto record = [&](int month, const char* end) {
    std::string line = "1990 " + std::to_string(month) + " 1 0";
    for (int c = 0; c < kColumns; ++c) {
      line += (random() % 4 == 0 ? "\t" : " ") + std::to_string(int(random() % 20000) - 100);
      if (random() % 3 == 0) line += "." + std::to_string(random() % 1000);
    }
    return line + end;
  };
  std::string mixed;
  for (int l = 0; l < 300; ++l) {
    const auto kind = random() % 20;
    mixed += kind == 0   ? std::string("\n")
             : kind == 1 ? std::string("text\n")
             : kind == 2 ? record(int(random() % 13), " 4.7O1\n")
             : kind == 3 ? "1990 1 1 0" + std::string(200000, ' ') + "5\n"
                         : record(1 + l % 12, l % 5 == 0 ? "\r\n" : "\n");
  }
  const std::vector<std::string> entries = {
      file("mixed.dat", data_file(kColumns, mixed)),
      file("no_newline.dat", data_file(kColumns, record(3, "\n") + record(4, ""))),
      file("header_only.dat", data_file(kColumns, "")),
      file("long_last.dat", data_file(kColumns, record(5, "\n") + std::string(300000, '9'))),
      file("mixed_again.dat", data_file(kColumns, mixed)),
      // Compressed files stream through the readahead, several at once.
      file("mixed.dat.gz", test::gzip_member(data_file(kColumns, mixed))),
      file("no_newline.dat.gz", test::gzip_member(data_file(kColumns, record(6, "")))),
      file("mixed_last.dat.gz", test::gzip_member(data_file(kColumns, mixed))),
  };
  for (const size_t block_size : {size_t{64}, size_t{1000}, size_t{65536}}) {
    DataPassOptions in_turn;
    in_turn.pass.read_at_offsets = false;
    in_turn.pass.block_size = block_size;
    const PassResult expected = pass(entries, kColumns, {DistributionMode::LN2, 0.0}, in_turn);
    for (const int threads : {1, 2, 3, 8}) {
      SCOPED_TRACE(std::to_string(block_size) + " bytes a block, threads " +
                   std::to_string(threads));
      DataPassOptions at_offsets;
      at_offsets.pass.threads = threads;
      at_offsets.pass.min_bytes_for_threads = 0;
      at_offsets.pass.block_size = block_size;
      const PassResult r = pass(entries, kColumns, {DistributionMode::LN2, 0.0}, at_offsets);
      EXPECT_EQ(r.warnings, expected.warnings);
      EXPECT_EQ(r.missing.cells, expected.missing.cells);
      ASSERT_EQ(r.table.cells.size(), expected.table.cells.size());
      EXPECT_EQ(std::memcmp(r.table.cells.data(), expected.table.cells.data(),
                            r.table.cells.size() * sizeof(MonthStats)),
                0);
    }
  }
}

TEST_F(DataPass, ThreadedPassStopsAtAMissingFile) {
  const auto a = file("a.dat", data_file(1, std::string(20000, '\n') + "junk\n"));
  DataPassOptions threaded;
  threaded.pass.threads = 2;
  threaded.pass.min_bytes_for_threads = 0;
  threaded.pass.block_size = 100;
  const PassResult r = pass({a, a, dir / "missing.dat", a}, 1, {}, threaded);
  EXPECT_EQ(r.error.kind, InputErrorKind::data_cannot_open);
  // The warnings of the files before the failure come in order, each file once.
  const std::string junk = "pctlfit: warning: " + a +
                           ":20004: not a record: \"junk\"\n"
                           "pctlfit: warning: " +
                           a + ": none of its 1 lines pooled: none is a record of a month 1..12\n";
  EXPECT_EQ(r.warnings, junk + junk);
}

// The tally contract that per-cell features build on: each tally's parse step sees every block
// once, with the row copies it asked for; its apply step sees every pooled value once, each
// cell's values in file and record order, on any number of threads and blocks of any size.
TEST_F(DataPass, TalliesSeeEveryValueOnceInFileOrder) {
  constexpr int kColumns = 40;
  std::vector<std::string> entries;
  std::vector<std::vector<double>> expected(grid_cells(kColumns));
  for (int f = 0; f < 3; ++f) {
    std::string records;
    for (int r = 0; r < 300; ++r) {
      const int month = 1 + (r * 5 + f) % 12;
      records += std::to_string(2000 + r) + " " + std::to_string(month) + " 1 0";
      for (int c = 1; c <= kColumns; ++c) {
        const double v = f * 1000 + r + c / 100.0;
        const bool missing = (r + c) % 17 == 0;
        records += missing ? " -9999" : " " + std::to_string(v).substr(0, 9);
        if (!missing)
          expected[cell_index(kColumns, c, month)].push_back(
              std::stod(std::to_string(v).substr(0, 9)));
      }
      records += "\n";
    }
    entries.push_back(file("m" + std::to_string(f) + ".dat", data_file(kColumns, records)));
  }
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    std::vector<std::vector<double>> seen(grid_cells(kColumns));
    std::atomic<int> blocks{0};
    std::atomic<bool> copies{true};
    Tally tally;
    tally.copies = {true, false};
    tally.parse = [&](WorkItem& item) {
      if (item.kind != ItemKind::block) return;
      ++blocks;
      if (!item.parsed.has_read && !item.parsed.months.empty()) copies = false;
    };
    tally.apply = [&](const WorkItem& item, size_t first, size_t end) {
      const ParsedBlock& block = item.parsed;
      for (size_t r = 0; r < block.months.size(); ++r) {
        const double* read = block.read.data() + r * kColumns;
        for (size_t c = first; c < end; ++c) {
          if (is_not_accumulated(block.values[r * kColumns + c])) continue;
          seen[month_row(kColumns, block.months[r]) + c].push_back(read[c]);
        }
      }
    };
    DataPassOptions options;
    options.pass.threads = threads;
    options.pass.min_bytes_for_threads = 0;
    options.pass.block_size = 700;
    options.tallies.push_back(tally);
    ASSERT_FALSE(failed(pass(entries, kColumns, {DistributionMode::LN2, 0.0}, options).error));
    EXPECT_GT(blocks.load(), 10);
    EXPECT_TRUE(copies.load());
    EXPECT_EQ(seen, expected);
  }
}

}  // namespace
}  // namespace pctlfit
