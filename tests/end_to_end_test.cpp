// Runs the built pctlfit binary in a temporary directory, as a user's script would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "compression_util.h"
#include "input/record/readings.h"
#include "plot/figure_table.h"
#include "test_util.h"

namespace pctlfit {
namespace {

using test::data_file;
using test::kBanner;

class EndToEnd : public test::WithTempDir {
 protected:
  std::string report(const std::string& name = "list.sta") { return test::read_file(dir / name); }
};

// The fields of one CSV line (RFC 4180 quotes).
std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::vector<std::string> tab_fields(const std::string& line) {
  std::vector<std::string> fields;
  const std::string text = line + "\t";
  for (size_t start = 0, tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(text.substr(start, tab - start));
  return fields;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string format_row(int month, const std::vector<double>& figures) {
  std::string row = std::to_string(month);
  char cell[256];
  for (double f : figures) {
    std::snprintf(cell, sizeof cell, "\t%.2f", f);
    row += cell;
  }
  return row + "\n";
}

TEST_F(EndToEnd, TwoColumnsInEveryMode) {
  // January: column 1 gets 1, 2, 4; column 2 gets 3 and 5 (two values: no deviation).
  file("a.dat", data_file(2, "2001 1 1 0 1 3\n2001 0 1 0 100 100\n2002 1 1 0 2 -9999\n"));
  file("b.dat", data_file(2, "2003 1 1 0 4 5\n"));
  file("list.txt", "a.dat   first member\nb.dat\n");
  struct Case {
    const char* mode;
    const char* title;
    std::string january;
    std::string empty_cells;
  };
  const std::string nv_empty = format_row(0, {1e100, 0, 0, 0, -1e100}).substr(1, std::string::npos);
  const Case cases[] = {
      {"NV", "Percentiles for Gaussian distribution for monthly values from a.dat b.dat \n",
       "1\t1.00\t-0.18\t2.33\t4.85\t4.00\t3.00\t4.00\t4.00\t4.00\t5.00\n", nv_empty},
      {"LN2",
       "Percentiles for Log-Gaussian distribution (LN2) for monthly values froma.dat b.dat \n",
       "1\t1.00\t0.64\t2.00\t6.25\t4.00\t3.00\t3.87\t3.87\t3.87\t5.00\n",
       "\tinf\t1.00\t1.00\t1.00\t0.00"},
      {"LN3",  // lower limit 0.5
       "Percentiles for Log-Gaussian distribution (LN3) for monthly values froma.dat b.dat \n",
       "1\t1.00\t0.78\t1.88\t7.37\t4.00\t3.00\t3.85\t3.85\t3.85\t5.00\n",
       "\tinf\t1.50\t1.50\t1.50\t0.50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const bool ln3 = std::string(c.mode) == "LN3";
    const auto r = run_binary(dir, std::string("list.txt ") + c.mode + " ignored extra", "0.5\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kBanner + (ln3 ? "lower limit for LN3: " : "") + "ready..\n");
    EXPECT_EQ(
        r.err,
        "pctlfit: warning: ignored: \"ignored\"\n"
        "pctlfit: warning: ignored: \"extra\"\n"
        "pctlfit: warning: column 1 (Q1): no values in months 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12\n"
        "pctlfit: warning: column 2 (Q2): no values in months 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, "
        "12\n" +
            std::string(std::string(c.mode) == "NV"
                            ? "pctlfit: warning: column 1 (Q1): values all at or above 0, but the "
                              "normal fit's 5 % figure is below 0 in months 1; LN2 or LN3 keeps "
                              "figures above 0\n"
                            : ""));
    std::string expected =
        "MM\t1_Min\t1_5%\t1_50%\t1_95%\t1_Max\t2_Min\t2_5%\t2_50%\t2_95%\t2_Max\n";
    expected += c.title;
    expected += c.january;
    for (int m = 2; m <= 12; ++m) {
      expected += std::to_string(m) + c.empty_cells.substr(0, c.empty_cells.find('\n')) +
                  c.empty_cells.substr(0, c.empty_cells.find('\n')) + "\n";
    }
    EXPECT_EQ(report(), expected);
  }
}

TEST_F(EndToEnd, Ln3ReadsTheLimitFromStandardInput) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n2002 1 1 0 2\n2003 1 1 0 4\n"));
  file("list.txt", "a.dat\n");
  const auto r = run_binary(dir, "list.txt LN3", "0.5\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + "lower limit for LN3: ready..\n");
  const std::string text = report();
  EXPECT_NE(text.find("\n1\t1.00\t0.78\t1.88\t7.37\t4.00\n2\tinf\t1.50\t1.50\t1.50\t0.50\n"),
            std::string::npos);
}

// Options, as scripts use them: each gives what the old form gives, or fails as documented.
TEST_F(EndToEnd, LowerLimitOptionNeedsNoStandardInput) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n2002 1 1 0 2\n2003 1 1 0 4\n"));
  file("list.txt", "a.dat\n");
  ASSERT_EQ(run_binary(dir, "list.txt LN3", "0.5\n").status, 0);
  const std::string prompted = report();
  for (const char* args : {"-l 0.5 list.txt", "--lower-limit=0.5 list.txt LN3"}) {
    SCOPED_TRACE(args);
    const auto r = run_binary(dir, args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kBanner + "ready..\n");
    EXPECT_EQ(report(), prompted);
  }
  const auto bad = run_binary(dir, "-l 0.5x list.txt");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out, kBanner + "pctlfit: lower limit \"0.5x\" is not a number\n");
  const auto conflict = run_binary(dir, "-l 0.5 list.txt NV");
  EXPECT_EQ(conflict.status, 1);
  EXPECT_EQ(conflict.out, kBanner + "pctlfit: --lower-limit is for LN3, but the mode word is NV\n");
}

TEST_F(EndToEnd, OutputOptionNamesTheReportAndIsGuarded) {
  const std::string data = data_file(1, "2001 1 1 0 1\n");
  file("a.dat", data);
  file("list.txt", "a.dat\n");
  ASSERT_EQ(run_binary(dir, "list.txt").status, 0);
  const auto r = run_binary(dir, "-o out.tsv list.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(report("out.tsv"), report());
  const auto guarded = run_binary(dir, "--output=./a.dat list.txt");
  EXPECT_EQ(guarded.status, 4);
  EXPECT_EQ(guarded.out, kBanner + "output file ./a.dat is also an input file\n");
  EXPECT_EQ(test::read_file(dir / "a.dat"), data);
}

TEST_F(EndToEnd, StrictFailsAfterTheDataPassOnInputWarnings) {
  file("good.dat", data_file(1, "2001 1 1 0 1\n"));
  file("bad.dat", data_file(1, "2001 1 1 0 1\n2002 1 1 0 4.7O1\n2003 1 1 0 1 2\n"));
  file("good.txt", "good.dat\n");
  file("bad.txt", "bad.dat\n");
  const auto good = run_binary(dir, "--strict good.txt");
  EXPECT_EQ(good.status, 0);  // the empty months are about the data, not the input
  EXPECT_EQ(good.out, kBanner + "ready..\n");
  const auto bad = run_binary(dir, "--strict bad.txt");
  EXPECT_EQ(bad.status, 5);
  EXPECT_EQ(bad.out, kBanner + "2 warnings about the input (--strict)\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.sta"));        // a failed run writes no report
  EXPECT_EQ(run_binary(dir, "--strict good.txt nv").status, 5);  // an unknown mode word counts
}

// A run that pools no value fails after the data pass (status 6) instead of writing a report of
// "inf" figures; standard error says why.
TEST_F(EndToEnd, NothingPooledFails) {
  struct Case {
    const char* name;
    std::string records;  // of the one data file, two columns
    std::string why;      // standard error, after the file's own warnings
  };
  const std::string form =
      "pctlfit: a record is year, month, day and hour, then one value per column (2), separated "
      "by blanks, such as \"2001 1 15 0 1.5 2.5\"\n";
  const Case cases[] = {
      {"dates with dashes", "2001-01-01 00:00 1 2\n2001-02-01 00:00 3 4\n",
       "pctlfit: nothing to pool: 2 lines are not records\n" + form},
      {"every value missing", "2001 1 1 0 -9999 -9999\n2001 2 1 0 x -9999.5\n",
       "pctlfit: nothing to pool: 4 values are missing (-9999 or below, or not a number)\n"},
      {"month 0 only", "2001 0 1 0 1 2\n",
       "pctlfit: nothing to pool: 1 record has month 0, which is not pooled\n"},
      {"header lines only", "",
       "pctlfit: nothing to pool: the files hold no records after their three header lines\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file("a.dat", data_file(2, c.records));
    file("list.txt", "a.dat\n");
    const auto r = run_binary(dir, "list.txt --table t.csv");
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.out, kBanner + "no value could be pooled\n");
    EXPECT_TRUE(r.err.ends_with(c.why)) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "list.sta"));  // no report, and no table
    EXPECT_FALSE(std::filesystem::exists(dir / "t.csv"));
  }
}

// Headers written by hand: each slip gives a hint on standard error naming the file; the
// report and the status stay those of the rule of 12 skipped characters.
TEST_F(EndToEnd, HeaderHints) {
  struct Case {
    const char* name;
    std::string header;  // line 2
    std::string record;  // line 4
    int status;
    std::string hint;  // a part of standard error
  };
  const Case cases[] = {
      {"tabs in the label", "Date\tUpper\tMiddle\tLower\tOutlet", "2001 1 1 0 1 2 3 4", 0,
       "a.dat:2: the header line's first 12 characters \"Date\\tUpper\\tM\" hold a tab; they are "
       "skipped as the label of the date fields, so the first heading is \"iddle\""},
      {"blanks instead of tabs", "YYYY MM DD H Q1 Q2 Q3", "2001 1 1 0 1 2 3", 0,
       "a.dat:4: 3 values, the header names 1 columns; values after the 1st are not read (the one "
       "heading is \"Q1 Q2 Q3\": headings are separated by tabs, after the line's first 12 "
       "characters)"},
      {"shorter than 13 characters", "Date\tQ1", "2001 1 1 0 1", 3,
       "pctlfit: a.dat: the column header line (line 2) has 8 characters with its newline; it "
       "needs more than 12: 12 for the label of the date fields, then the column headings, "
       "separated by tabs\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file("a.dat", "title\n" + c.header + "\nunits\n" + c.record + "\n");
    file("list.txt", "a.dat\n");
    const auto r = run_binary(dir, "list.txt NV");
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.hint), std::string::npos) << r.err;
  }
}

// A data file given as the list, and a list run from another folder.
TEST_F(EndToEnd, ListHints) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n2001 2 1 0 2\n2001 3 1 0 3\n"));
  std::filesystem::create_directory(dir / "runs");
  file("runs/b.dat", data_file(1, "2001 1 1 0 1\n"));
  file("runs/list.txt", "b.dat\n");
  const auto data = run_binary(dir, "a.dat");
  EXPECT_EQ(data.status, 2);
  EXPECT_EQ(data.err.find("listed again"), std::string::npos) << data.err;
  EXPECT_NE(data.err.find("pctlfit: a.dat looks like a data file; the first argument names a list "
                          "of data files, one per line"),
            std::string::npos)
      << data.err;
  const std::string list = test::kWindows ? "runs\\list.txt" : "runs/list.txt";
  const auto elsewhere = run_binary(dir, list);
  EXPECT_EQ(elsewhere.status, 2);
  EXPECT_NE(elsewhere.err.find("pctlfit: b.dat does not open here, but " + list.substr(0, 5) +
                               "b.dat does: names in a list are relative to the folder pctlfit "
                               "runs in"),
            std::string::npos)
      << elsewhere.err;
}

// Options stand anywhere; the words that are not options keep their places: the list, the
// mode, then words that are ignored with a warning.
TEST_F(EndToEnd, ArgumentOrders) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n2002 1 1 0 2\n2003 1 1 0 4\n"));
  file("runs.txt", "a.dat\n");
  file("-x", "a.dat\n");
  struct Case {
    std::string args;
    int status;
    std::string report;  // the report's name, and the start of its title's distribution
    std::string title;
    std::string err;  // a part of standard error, if any
    std::string out;  // a part of standard output: a failure's message
  };
  const Case cases[] = {
      {"runs.txt -l 0.5", 0, "runs.sta", "Log-Gaussian distribution (LN3)", "", "ready.."},
      {"runs.txt LN2 -o x.sta --table t.csv", 0, "x.sta", "Log-Gaussian distribution (LN2)", "",
       "ready.."},
      {"-q runs.txt NV", 0, "runs.sta", "Gaussian distribution for", "", ""},
      {"runs.txt NV LN3", 0, "runs.sta", "Gaussian distribution for",
       "pctlfit: warning: ignored: \"LN3\"\n", "ready.."},
      {"-- -x NV", 0, "-x.sta", "Gaussian distribution for", "", "ready.."},
      {"runs.txt -o", 1, "", "", "", "pctlfit: option -o needs a value\n"},
      {"runs.txt LN2 -l 0.5", 1, "", "", "",  // a limit is for LN3
       "pctlfit: --lower-limit is for LN3, but the mode word is LN2\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = run_binary(dir, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    if (c.report.empty()) continue;
    EXPECT_NE(report(c.report).find(c.title), std::string::npos) << report(c.report);
  }
  EXPECT_NE(test::read_file(dir / "t.csv").find("column,heading"), std::string::npos);
}

// PCTLFIT_READING forces a reading, and no wider vectors in any other kernel (the sample's
// decimal encoding and rank selection), for the whole run: each one this machine has gives the
// report and table of the default run; one it lacks, or a name that is none, is refused before
// anything is read.
TEST_F(EndToEnd, ForcedReadingsGiveTheSameReport) {
  std::string records;
  for (int r = 0; r < 40; ++r) {
    records += "2001 " + std::to_string(1 + r % 12) + " 1 0";
    for (int c = 0; c < 19; ++c) records += " " + std::to_string(r * 19 + c) + ".25";
    records += r % 7 == 0 ? " 1e3\n" : " -12.5\n";
  }
  file("a.dat", data_file(20, records));
  file("list.txt", "a.dat\n");
  const std::string args = "--sample=7 --table=t.csv list.txt";
  ASSERT_EQ(run_binary(dir, args).status, 0);
  const std::string expected = report();
  const std::string expected_table = test::read_file(dir / "t.csv");
  for (const Reading& reading : value_readings()) {
    SCOPED_TRACE(reading.name);
    const auto r = run_binary(dir, args, "", std::string("PCTLFIT_READING=") + reading.name);
    if (reading.available()) {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(report(), expected);
      EXPECT_EQ(test::read_file(dir / "t.csv"), expected_table);
    } else {
      EXPECT_EQ(r.status, 1);
      EXPECT_NE(r.out.find("lacks the " + std::string(reading.name) + " reading"),
                std::string::npos)
          << r.out;
    }
  }
  const auto unknown = run_binary(dir, "list.txt", "", "PCTLFIT_READING=sse");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.out.rfind("PCTLFIT_READING=sse: no such reading; use one of byte", 0), 0u)
      << unknown.out;
}

// UTF-16 or UTF-32 text, by its byte-order mark or by NUL bytes between its characters, is
// refused as a file that cannot be read, whichever file it is, with a reason that says what to do.
TEST_F(EndToEnd, WideTextIsRefused) {
  const std::string text = data_file(1, "2001 1 1 0 1\n2002 1 1 0 2\n2003 1 1 0 4\n");
  const auto wide = [](const std::string& ascii, int width, bool big_endian, bool mark) {
    std::string out;
    const auto put = [&](unsigned code) {
      for (int b = 0; b < width; ++b) {
        const int shift = 8 * (big_endian ? width - 1 - b : b);
        out += static_cast<char>((code >> shift) & 0xFF);
      }
    };
    if (mark) put(0xFEFF);
    for (char c : ascii) put(static_cast<unsigned char>(c));
    return out;
  };
  file("a.dat", text);
  struct Case {
    std::string name, bytes, encoding;
  };
  const Case cases[] = {
      {"utf16le_mark.dat", wide(text, 2, false, true), "UTF-16"},
      {"utf16be_mark.dat", wide(text, 2, true, true), "UTF-16"},
      {"utf16le.dat", wide(text, 2, false, false), "UTF-16"},
      {"utf16be.dat", wide(text, 2, true, false), "UTF-16"},
      {"utf32le_mark.dat", wide(text, 4, false, true), "UTF-32"},
      {"utf32be.dat", wide(text, 4, true, false), "UTF-32"},
  };
  for (const Case& c : cases) {
    file(c.name, c.bytes);
    for (const std::string& list : {c.name + "\n", "a.dat\n" + c.name + "\n"}) {
      SCOPED_TRACE(list);
      file("list.txt", list);
      std::filesystem::remove(dir.path / "list.sta");  // no report of other files replaced
      const auto r = run_binary(dir, "-q list.txt");
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, "error reading " + c.name + " \n");
      EXPECT_EQ(r.err, "pctlfit: " + c.name + ": " + c.encoding + " text: save it as UTF-8\n");
    }
  }
  file("wide_list.txt", wide("a.dat\n", 2, false, true));
  const auto list = run_binary(dir, "-q wide_list.txt");
  EXPECT_EQ(list.status, 2);
  EXPECT_EQ(list.err, "pctlfit: wide_list.txt: UTF-16 text: save it as UTF-8\n");
}

// Lines that end in a carriage return alone, in the list and in data files, plain or
// compressed, first or later: read as line ends, one warning a file, the report that of the
// same files with newlines.
TEST_F(EndToEnd, CarriageReturnLineEndsAreLineEnds) {
  const std::string text = data_file(2, "2001 1 1 0 1 2\n2001 2 1 0 3 4\n2001 1 1 0 5 6\n");
  std::string cr = text;
  std::replace(cr.begin(), cr.end(), '\n', '\r');
  file("a.dat", text);
  file("b.dat", text);
  file("list.txt", "a.dat\nb.dat\n");
  ASSERT_EQ(run_binary(dir, "-q list.txt").status, 0);
  const std::string expected = report().substr(report().find("\n1\t"));
  const std::string warning =
      ": lines end in a carriage return alone; each is read as a line end\n";
  struct Case {
    std::string list;  // "\r" for the list's own line ends
    std::string warned;
  };
  const Case cases[] = {
      {"cr.dat\nb.dat\n", "pctlfit: warning: cr.dat" + warning},
      {"a.dat\ncr.dat\n", "pctlfit: warning: cr.dat" + warning},
      {"a.dat\rb.dat\r", "pctlfit: warning: list.txt" + warning},
      {"a.dat\ncr.dat.gz\n", "pctlfit: warning: cr.dat.gz" + warning},
  };
  file("cr.dat", cr);
  file("cr.dat.gz", test::gzip_member(cr));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    file("list.txt", c.list);
    const auto r = run_binary(dir, "-q list.txt");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(report().substr(report().find("\n1\t")), expected);
    EXPECT_NE(r.err.find(c.warned), std::string::npos) << r.err;
    EXPECT_EQ(run_binary(dir, "-q --strict list.txt").status, 5);
  }
}

// Two holes that gave status 0 with wrong figures and no word: a file with two header lines
// (its first record taken as the third), and negative 5 % figures of a normal fit to values
// that are never negative. Each is warned of and leaves the figures as the formulas give them;
// only the header, a fault of the input, counts for --strict.
TEST_F(EndToEnd, WarnsOfRecordsAsHeaderAndNegativeNormalFits) {
  const std::string header = "monthly values\nYYYY MM DD H\tQ1\tQ2\n";
  const std::string records = "2001 1 1 0 1 -1\n2002 1 1 0 1.5 2\n2003 1 1 0 9 3\n";
  const std::string third =
      "a.dat:3: looks like a record; the three header lines are skipped whole";
  const std::string negative =
      "column 1 (Q1): values all at or above 0, but the normal fit's 5 % figure is below 0 in "
      "months "
      "1; LN2 or LN3 keeps figures above 0";
  struct Case {
    std::string name, data, mode;
    std::vector<std::string> warned, not_warned;
  };
  const Case cases[] = {
      {"three header lines, NV", header + "units\n" + records, "NV", {negative}, {third}},
      {"two header lines, NV", header + records, "NV", {third}, {negative}},  // 1.5, 9 fit above 0
      {"two header lines, LN2", header + records, "LN2", {third}, {negative}},
      {"a third line of words",
       header + "year month day hour\n" + records,
       "LN2",
       {},
       {third, negative}},
      {"a third line of too few fields", header + "2001 1 1\n" + records, "LN2", {}, {third}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file("a.dat", c.data);
    file("list.txt", "a.dat\n");
    const auto r = run_binary(dir, "-q list.txt " + c.mode);
    EXPECT_EQ(r.status, 0);
    for (const std::string& w : c.warned) {
      EXPECT_NE(r.err.find("pctlfit: warning: " + w + "\n"), std::string::npos) << r.err;
    }
    for (const std::string& w : c.not_warned) {
      EXPECT_EQ(r.err.find(w), std::string::npos) << r.err;
    }
    const bool about_input = std::find(c.warned.begin(), c.warned.end(), third) != c.warned.end();
    EXPECT_EQ(run_binary(dir, "-q --strict list.txt " + c.mode).status, about_input ? 5 : 0);
  }
}

// Two lists named alike up to their first point share a report name: the run that replaces the
// other's report says so (and goes on, as scripts expect); its own earlier report, in any
// mode, or a file that is no report, is replaced without a word.
TEST_F(EndToEnd, ReplacingTheReportOfOtherFilesIsNamed) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n2002 1 1 0 2\n2003 1 1 0 4\n"));
  file("b.dat", data_file(1, "2001 1 1 0 3\n"));
  file("run_v1.2_hist.txt", "a.dat\n");
  file("run_v1.2_fut.txt", "a.dat\nb.dat\n");
  const std::string warning =
      "pctlfit: warning: run_v1.sta: replaced, though it is the report of "
      "other files (-o chooses another name)\n";
  struct Case {
    std::string before;  // the arguments of the run before, or the report's text
    std::string args;
    bool warned;
  };
  const Case cases[] = {
      {"run_v1.2_hist.txt", "run_v1.2_fut.txt", true},
      {"run_v1.2_fut.txt NV", "run_v1.2_fut.txt", false},  // the same files, another mode
      {"run_v1.2_fut.txt", "run_v1.2_fut.txt", false},
      {"=notes of mine\nnot a report\n", "run_v1.2_fut.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before + " then " + c.args);
    if (c.before.starts_with("=")) {
      file("run_v1.sta", c.before.substr(1));
    } else {
      ASSERT_EQ(run_binary(dir, "-q " + c.before).status, 0);
    }
    const auto r = run_binary(dir, "-q " + c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find(warning) != std::string::npos, c.warned) << r.err;
    EXPECT_NE(report("run_v1.sta").find("froma.dat b.dat \n"), std::string::npos);
  }
  ASSERT_EQ(run_binary(dir, "-q run_v1.2_hist.txt").status, 0);
  EXPECT_EQ(run_binary(dir, "-q --strict run_v1.2_fut.txt").status, 0);  // not about the input
}

// Model output of one date field a record: one data set in both layouts, in folders of their
// own under the same names, gives the same report byte for byte in every mode, also compressed;
// the standard layout's run of such a file is told of --layout=date.
TEST_F(EndToEnd, DateLayoutGivesTheReportOfTheStandardOne) {
  const test::TempDir date_dir;  // the same names as in `dir`, the other layout
  std::string standard = "monthly values\nYYYY MM DD H\tSB1\tSB2\nm3/s\n";
  std::string dated = "discharge of the subbasins\nDATE\tSB1\tSB2\n";
  const char* times[] = {"", " 00:00", "T12:30", "T06:00:00"};
  for (int r = 0; r < 40; ++r) {
    const int year = 2001 + r / 12, month = 1 + r % 12;
    const std::string values = std::to_string(1 + r % 7) + ".25\t" +
                               (r % 9 == 0 ? std::string("-9999") : std::to_string(r) + ".5");
    standard += std::to_string(year) + " " + std::to_string(month) + " 1 0 " + values + "\n";
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-01", year, month);
    dated += date + std::string(times[r % 4]) + "\t" + values + (r % 5 == 0 ? "\r\n" : "\n");
  }
  file("a.dat", standard);
  file("b.dat.gz", test::gzip_member(standard));
  file("list.txt", "a.dat\nb.dat.gz\n");
  test::write_file(date_dir / "a.dat", dated);
  test::write_file(date_dir / "b.dat.gz", test::gzip_member(dated));
  test::write_file(date_dir / "list.txt", "a.dat\nb.dat.gz\n");
  for (const char* mode : {"NV", "LN2"}) {
    SCOPED_TRACE(mode);
    const auto plain = run_binary(dir, std::string("-q list.txt ") + mode);
    ASSERT_EQ(plain.status, 0);
    const auto date = run_binary(date_dir, std::string("-q --layout=date list.txt ") + mode);
    EXPECT_EQ(date.status, 0);
    EXPECT_EQ(date.err, plain.err);
    EXPECT_EQ(test::read_file(date_dir / "list.sta"), report());
  }
  // The date layout's own warnings name its lines; the standard layout hints at it.
  test::write_file(date_dir / "c.dat",
                   "x\nDATE\tSB1\tSB2\n2001-13-01 1 2\n2001-01-01;1;2\n2001-02-01 3 4\n");
  test::write_file(date_dir / "c.txt", "c.dat\n");
  const auto bad = run_binary(date_dir, "-q --layout=date c.txt");
  EXPECT_EQ(bad.status, 0);
  EXPECT_NE(bad.err.find("c.dat:3: month 13 outside 1..12\n"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("c.dat:4: not a record: \"2001-01-01;1;2\""), std::string::npos);
  const auto hinted = run_binary(date_dir, "-q c.txt");
  EXPECT_NE(hinted.err.find("c.dat:3: a dated record below a DATE line: files of one date field "
                            "a record are read with --layout=date\n"),
            std::string::npos)
      << hinted.err;
  EXPECT_EQ(run_binary(date_dir, "-q --layout=dated c.txt").out,
            "pctlfit: layout \"dated\" is none of standard and date\n");
}

// --levels adds the fitted figures at further levels to the table, after its other columns,
// named in their shortest form; the report and the chart stay as they are; a bad list is a
// usage error that names its item.
TEST_F(EndToEnd, LevelsAddFittedColumns) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n2002 1 1 0 2\n2003 1 1 0 4\n2001 2 1 0 3\n"));
  file("list.txt", "a.dat\n");
  ASSERT_EQ(run_binary(dir, "-q --table plain.csv list.txt").status, 0);
  const std::string plain_report = report();
  const std::string plain_table = test::read_file(dir / "plain.csv");
  ASSERT_EQ(run_binary(dir, "-q --levels=2.5,5,50,95,99.9 --table t.csv list.txt").status, 0);
  EXPECT_EQ(report(), plain_report);
  const std::vector<std::string> rows = lines_of(test::read_file(dir / "t.csv"));
  const std::vector<std::string> plain_rows = lines_of(plain_table);
  EXPECT_EQ(rows[0], plain_rows[0] + ",p2.5,p99.9");
  // January: the logarithms' mean and sd; 2.5 % by the normal quantile, 99.9 % by the table.
  const std::vector<std::string> january = csv_fields(rows[1]);
  const double mean = std::stod(january[6]), sd = std::stod(january[7]);
  EXPECT_EQ(std::stod(january[20]), std::exp(mean + -1.959963984540054 * sd));
  EXPECT_EQ(std::stod(january[21]), std::exp(3.1 * sd + mean));
  EXPECT_TRUE(rows[2].starts_with(plain_rows[2]));  // the other columns as without the option
  plot::FigureTable table;                          // the chart reads it
  std::string error;
  EXPECT_TRUE(plot::parse_figure_table(test::read_file(dir / "t.csv"), "t.csv", table, error))
      << error;
  struct Case {
    std::string list, message;
  };
  const Case cases[] = {
      {"5,,95", "an empty item in \"5,,95\""},
      {"5,ten", "\"ten\" is not a number"},
      {"0,50", "level 0 is not above 0 and below 100"},
      {"50,100", "level 100 is not above 0 and below 100"},
      {"25,25.0", "level 25.0 is given twice"},
      {[] {  // 0.05, 0.1, ..., 99.9, 0.15: 1001 levels in a command line cmd.exe takes
         std::string list = "0.05";
         char level[16];
         for (int i = 1; i <= 999; ++i) {
           std::snprintf(level, sizeof level, ",%g", i / 10.0);
           list += level;
         }
         return list + ",0.15";
       }(),
       "more than 1000 levels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    const auto r = run_binary(dir, "-q --levels=" + c.list + " list.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "pctlfit: --levels: " + c.message + "\n");
  }
}

// --sample adds the sample percentiles of the values as read (the same in every mode) at every
// level, after the fitted columns, with one note on standard error; a month without values has
// empty figures; a method that is none is a usage error listing them.
TEST_F(EndToEnd, SamplePercentilesInTheTable) {
  file("a.dat", data_file(1, "2001 1 1 0 4\n2002 1 1 0 1\n2003 1 1 0 2\n2004 1 1 0 8\n"));
  file("list.txt", "a.dat\n");
  ASSERT_EQ(run_binary(dir, "-q list.txt").status, 0);
  const std::string plain_report = report();
  std::vector<std::string> medians;
  for (const char* mode : {"NV", "LN2"}) {
    const auto r = run_binary(
        dir, std::string("-q --sample=linear --levels=25,50 --table t.csv list.txt ") + mode);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(
        r.err.find("pctlfit: sample percentiles: linear (Hyndman and Fan type 7) at 25, 50 %\n"),
        std::string::npos)
        << r.err;
    if (std::string(mode) == "LN2") {
      EXPECT_EQ(report(), plain_report);
    }
    const std::vector<std::string> rows = lines_of(test::read_file(dir / "t.csv"));
    EXPECT_TRUE(rows[0].ends_with(",p25,sample_p25,sample_p50")) << rows[0];
    const std::vector<std::string> january = csv_fields(rows[1]);
    // 1, 2, 4, 8: type 7 at 25 % is 1 + 0.75 (2 - 1), at 50 % 2 + 0.5 (4 - 2).
    EXPECT_EQ(january[january.size() - 2], "1.75");
    EXPECT_EQ(january.back(), "3");
    EXPECT_TRUE(rows[2].ends_with(",,,")) << rows[2];  // February: no values
  }
  const auto bad = run_binary(dir, "-q --sample=median list.txt");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.out.rfind("pctlfit: --sample: \"median\" is none of weibull (6), hazen (5), ", 0),
            0u)
      << bad.out;
  EXPECT_EQ(run_binary(dir, "-q --memory=12 --sample list.txt").status, 1);
  // Values beyond the budget: one note says so before the passes that narrow them.
  std::string many;
  for (int year = 1000; year < 4000; ++year) many += std::to_string(year) + " 1 1 0 1.5\n";
  file("many.dat", data_file(1, many));
  file("many.txt", "many.dat\n");
  const auto narrowed = run_binary(dir, "-q --memory=16K --sample --table t.csv many.txt");
  EXPECT_EQ(narrowed.status, 0);
  EXPECT_NE(narrowed.err.find("pctlfit: sample percentiles: the 3000 values need 0.0 MiB, more "
                              "than --memory (0.0 MiB): further passes"),
            std::string::npos)
      << narrowed.err;
  // A budget below the bookkeeping of the cells and levels is refused, naming the least.
  const auto refused = run_binary(dir, "-q --memory=4K --sample --table t.csv many.txt");
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out,
            "pctlfit: --memory=4K is below the 2M that 1 columns x 12 months x 3 levels need "
            "for one pass of --sample\n");
  // Options that only change the table do nothing without it: a usage error naming the first.
  for (const std::string option : {"--sample", "--sample=hazen", "--levels=10", "--memory=8M"}) {
    const auto without = run_binary(dir, "-q " + option + " list.txt --check-fit");
    EXPECT_EQ(without.status, 1);
    const std::string name = option.substr(0, option.find('='));
    EXPECT_EQ(without.out,
              "pctlfit: " + name + " writes its figures to the table: add --table FILE\n");
  }
}

TEST_F(EndToEnd, QuietLeavesOnlyErrorsAndWarnings) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  file("list.txt", "a.dat\n");
  const auto r = run_binary(dir, "-q list.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no values in months"), std::string::npos);
  const auto missing = run_binary(dir, "--quiet missing.txt");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, "error opening script file missing.txt\n");
}

TEST_F(EndToEnd, FigureTableHoldsTheReportsFiguresInFull) {
  // Column 1 "SB,1": January 1, 2, 4 and a missing value; February 0.5 and 0 (at the bound).
  // Column 2 'say "hi"': January 3 and -9999.5 (missing); nothing else.
  file("a.dat",
       "title\nYYYY MM DD H\tSB,1\tsay \"hi\"\nunits\n"
       "2001 1 1 0 1 3\n2001 1 1 0 2 -9999.5\n2001 2 1 0 0.5 -9999\n");
  file("b.dat", data_file(2,
                          "2002 1 1 0 4 -9999\n2002 1 1 0 -9999 -9999\n2002 2 1 0 0 -9999\n"
                          "2002 0 1 0 7 7\n"));
  file("list.txt", "a.dat\nb.dat\n");
  ASSERT_EQ(run_binary(dir, "list.txt").status, 0);
  const std::string plain_report = report();
  const auto r = run_binary(dir, "--table figures.csv list.txt");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(report(), plain_report);  // the report does not change

  const std::vector<std::string> rows = lines_of(test::read_file(dir / "figures.csv"));
  const std::vector<std::string> report_rows = lines_of(plain_report);
  ASSERT_EQ(rows.size(), 1u + 2 * 12);
  EXPECT_EQ(rows[0],
            "column,heading,month,n,missing,at_or_below_bound,mean,sd,min,p5,p50,p95,max,"
            "below_p5,above_p95,skew,misfit,mode,lower_limit,flag");  // no check: its columns empty
  // Counted by hand: n, missing, at or below the bound.
  EXPECT_TRUE(rows[1].starts_with("1,\"SB,1\",1,3,1,0,0.69")) << rows[1];
  EXPECT_TRUE(rows[2].starts_with("1,\"SB,1\",2,2,0,1,-inf,0,")) << rows[2];  // 0.5 and 0
  EXPECT_TRUE(rows[13].starts_with("2,\"say \"\"hi\"\"\",1,1,3,0,1.09861")) << rows[13];
  EXPECT_EQ(rows[14],
            "2,\"say \"\"hi\"\"\",2,0,2,0,,,,,,,,,,,,LN2,,empty");  // no values: no figures
  for (size_t i = 1; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    const std::vector<std::string> fields = csv_fields(rows[i]);
    ASSERT_EQ(fields.size(), 20u);
    const int column = std::stoi(fields[0]);
    const int month = std::stoi(fields[2]);
    if (fields[3] == "0") continue;
    const std::vector<std::string> printed = tab_fields(report_rows[size_t(month + 1)]);
    for (int figure = 0; figure < 5; ++figure) {
      char text[512];
      std::snprintf(text, sizeof text, "%.2f",
                    std::strtod(fields[size_t(8 + figure)].c_str(), nullptr));
      EXPECT_EQ(text, printed[size_t(1 + (column - 1) * 5 + figure)]) << figure;
    }
  }
}

TEST_F(EndToEnd, FigureTableIsNeverAnInputOrTheReport) {
  const std::string data = data_file(1, "2001 1 1 0 1\n");
  file("a.dat", data);
  file("list.txt", "a.dat\n");
  auto r = run_binary(dir, "--table=./a.dat list.txt");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kBanner + "output file ./a.dat is also an input file\n");
  EXPECT_EQ(test::read_file(dir / "a.dat"), data);
  r = run_binary(dir, "--table list.sta list.txt");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kBanner + "output file list.sta is also the report\n");
  r = run_binary(dir, "--table no/such/dir.csv list.txt");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.err, "pctlfit: no/such/dir.csv: No such file or directory\n");
  if (test::kWindows) return;                         // no /dev/full
  r = run_binary(dir, "--table /dev/full list.txt");  // a table that cannot be written whole
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kBanner + "error writing output file /dev/full \n");
  EXPECT_NE(r.err.find("pctlfit: /dev/full: No space left on device\n"), std::string::npos);
}

// The committed example report, from the built program; on Windows its lines end in CR LF.
TEST_F(EndToEnd, ExampleReportAsCommitted) {
  for (const char* name :
       {"members.txt", "member01.dat", "member02.dat", "member03.dat", "member04.dat"}) {
    file(name, test::read_bytes(PCTLFIT_SOURCE_DIR "/examples/" + std::string(name)));
  }
  const auto r = run_binary(dir, "members.txt");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + "ready..\n");  // a well-formed run says nothing new
  EXPECT_EQ(r.err, "");
  const std::string committed = test::read_bytes(PCTLFIT_SOURCE_DIR "/examples/members.sta");
  const std::string written = test::read_bytes(dir / "members.sta");
  EXPECT_EQ(test::read_file(dir / "members.sta"), committed);  // CR LF read as LF
  EXPECT_EQ(written.find("\r\n") != std::string::npos, test::kWindows);
}

TEST_F(EndToEnd, WindowsLineEndsGiveTheSameReport) {
  const std::string records = "2001 1 1 0 1.5 2\n2001 2 1 0 3 -9999\n2002 1 1 0 2.5 7\n";
  std::string crlf;
  for (char c : data_file(2, records)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  file("a.dat", data_file(2, records));
  file("b.dat", crlf);
  file("lf.txt", "a.dat\n");
  file("crlf.txt", "b.dat\r\n");
  EXPECT_EQ(run_binary(dir, "lf.txt").status, 0);
  EXPECT_EQ(run_binary(dir, "crlf.txt").status, 0);
  std::string lf_report = report("lf.sta");
  std::string crlf_report = report("crlf.sta");
  // Only the file names in the title differ.
  lf_report.replace(lf_report.find("a.dat"), 5, "b.dat");
  EXPECT_EQ(lf_report, crlf_report);
}

TEST_F(EndToEnd, WarningsGoToStandardErrorOnly) {
  std::string year;
  for (int month = 1; month <= 12; ++month) year += "2001 " + std::to_string(month) + " 1 0 1\n";
  file("a.dat", data_file(1, year + "garbage\n"));
  file("list.txt", "a.dat\n");
  const auto r = run_binary(dir, "list.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + "ready..\n");
  EXPECT_EQ(r.err, "pctlfit: warning: a.dat:16: not a record: \"garbage\"\n");
}

TEST_F(EndToEnd, ReportThatCannotBeWritten) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  file("list.txt", "a.dat\n");
  if (test::kWindows) GTEST_SKIP() << "no /dev/full on Windows";
  std::filesystem::create_symlink("/dev/full", dir.path / "list.sta");
  const auto r = run_binary(dir, "list.txt");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kBanner + "error writing output file list.sta \n");
  EXPECT_EQ(test::read_file(dir / "a.dat"), data_file(1, "2001 1 1 0 1\n"));
}

TEST_F(EndToEnd, ThreadCountDoesNotChangeTheReport) {
  // Large enough (about 9 MB listed) for the threaded pass to start.
  std::string list;
  for (int f = 0; f < 2; ++f) {
    std::string records;
    for (int year = 1000; year < 1600; ++year) {
      for (int month = 0; month <= 12; ++month) {
        records += std::to_string(year) + " " + std::to_string(month) + " 1 0";
        for (int c = 0; c < 20; ++c) {
          const int x = (year * 31 + month * 7 + c * 13 + f * 5) % 200;
          records += " " + std::to_string(x / 7.0 - 1.0);
        }
        records += "\n";
      }
    }
    const std::string name = "m" + std::to_string(f) + ".dat";
    file(name, data_file(20, records));
    for (int copy = 0; copy < 4; ++copy) list += name + "\n";
  }
  file("list.txt", list);
  // Month-0 records, values at and below the log bound (0 and -1), and an LN3 limit inside the
  // data.
  for (const char* mode : {"NV", "LN2", "LN3"}) {
    SCOPED_TRACE(mode);
    const std::string args = std::string("list.txt ") + mode;
    ASSERT_EQ(run_binary(dir, args, "2.5\n", "PCTLFIT_THREADS=1").status, 0);
    const std::string single = report();
    ASSERT_EQ(run_binary(dir, args, "2.5\n", "PCTLFIT_THREADS=3").status, 0);
    EXPECT_EQ(report(), single);
  }
}

TEST_F(EndToEnd, DomainWarningsOnStandardError) {
  // Column 1 has zeros, column 2 a value below the LN3 limit; no file holds March to December.
  file("a.dat", data_file(2, "2001 1 1 0 0 1\n2002 1 1 0 0 0.2\n2003 2 1 0 4 3\n"));
  file("b.dat", data_file(2, "2001 1 1 0 2 5\n2001 2 1 0 3 6\n"));
  file("list.txt", "a.dat\nb.dat\n");
  const std::string empty =
      "pctlfit: warning: column 1 (Q1): no values in months 3, 4, 5, 6, 7, 8, 9, 10, 11, 12\n"
      "pctlfit: warning: column 2 (Q2): no values in months 3, 4, 5, 6, 7, 8, 9, 10, 11, 12\n";
  auto r = run_binary(dir, "list.txt LN2");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kBanner + "ready..\n");
  EXPECT_EQ(
      r.err,
      "pctlfit: warning: column 1 (Q1): 2 values at or below 0; months 1 report non-finite or "
      "zero percentiles\n" +
          empty);
  r = run_binary(dir, "list.txt LN3", "0.5\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(
      r.err,
      "pctlfit: warning: column 1 (Q1): 2 values at or below 0.5; months 1 report non-finite or "
      "zero percentiles\n"
      "pctlfit: warning: column 2 (Q2): 1 values at or below 0.5; months 1 report non-finite or "
      "zero percentiles\n" +
          empty);
}

// Under a terminal the progress line shows on standard error; standard output and the report
// stay byte for byte what they are without one.
TEST_F(EndToEnd, ProgressOnlyOnATerminal) {
  if (std::system("command -v script > /dev/null") != 0) GTEST_SKIP() << "no script(1)";
  file("a.dat", data_file(1, "2001 1 1 0 1\n2001 2 1 0 2\n"));
  file("b.dat", data_file(1, "2002 1 1 0 3\n"));
  file("list.txt", "a.dat\nb.dat\n");
  const auto plain = run_binary(dir, "list.txt");
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(plain.err.find("files,"), std::string::npos);  // no terminal, no progress
  const std::string plain_report = report();

  const std::string command = "cd '" + dir.path.string() +
                              "' && script -qec \"'" PCTLFIT_BINARY
                              "' list.txt > tty.out\" /dev/null > tty.screen 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string screen = test::read_file(dir / "tty.screen");
  EXPECT_NE(screen.find("pctlfit: 0 of 2 files, a.dat, "), std::string::npos) << screen;
  EXPECT_NE(screen.find("\r\x1b[K"), std::string::npos);
  EXPECT_EQ(test::read_file(dir / "tty.out"), plain.out);
  EXPECT_EQ(report(), plain_report);
}

}  // namespace
}  // namespace pctlfit
