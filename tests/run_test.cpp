#include "run/run.h"

#include <gtest/gtest.h>

#include <fstream>

#include "run/options.h"
#include "run/output_files.h"
#include "run/progress.h"
#include "test_util.h"

namespace pctlfit {
namespace {

using test::data_file;
using test::kBanner;
using test::run_in_process;

TEST(ReportName, DerivedFromTheListName) {
  struct Case {
    const char* list;
    const char* report;
  };
  const Case cases[] = {
      {"list.txt", "list.sta"},
      {"runs.2001.txt", "runs.sta"},
      {"dir.a/list.txt", "dir.sta"},
      {"list", "list.sta"},
      {"./list.txt", "./list.txt.sta"},  // a point at the start does not count
      {".b", ".b.sta"},
      {"a.b", "a.sta"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(derive_report_name(c.list), c.report);
  }
  const std::string long_name(5000, 'l');
  EXPECT_EQ(derive_report_name(long_name + ".txt"), long_name + ".sta");
}

TEST(ModeSelection, KeywordsAndFallback) {
  struct Case {
    std::optional<std::string> keyword;
    DistributionMode mode;
  };
  const Case cases[] = {
      {std::nullopt, DistributionMode::LN2}, {"NV", DistributionMode::NV},
      {"LN2", DistributionMode::LN2},        {"LN3", DistributionMode::LN3},
      {"nv", DistributionMode::LN2},         {"LN", DistributionMode::LN2},
      {"LN33", DistributionMode::LN2},       {"", DistributionMode::LN2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword.value_or("(none)"));
    EXPECT_EQ(select_mode(c.keyword), c.mode);
  }
}

TEST(ThreadCount, EnvironmentOverridesCores) {
  EXPECT_EQ(thread_count(nullptr, 2), 2);
  EXPECT_EQ(thread_count("1", 8), 1);
  EXPECT_EQ(thread_count("4", 2), 4);
  EXPECT_EQ(thread_count("0", 2), 2);
  EXPECT_EQ(thread_count("many", 2), 2);
  EXPECT_EQ(thread_count("3x", 2), 2);
  EXPECT_EQ(thread_count(nullptr, 0), 1);
}

class Run : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::ScopedChdir into{dir.path};
};

TEST_F(Run, UsageWithoutArguments) {
  const auto r = run_in_process({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kBanner +
                       "usage: pctlfit <listfilename> [NV|LN2|LN3]\n\n"
                       "The list file contains a list of all files, which should be processed\n"
                       "NV  : optionale Parameter for using Gaussian distribution \n"
                       "LN2 : optionale Parameter for using logarithmic Gaussian distribution "
                       "(default)\n"
                       "LN3 : optionale Parameter for using Log-Gaussian distribution with an "
                       "lower limit\n");
}

TEST_F(Run, Ln3PromptsBeforeOpeningTheList) {
  struct Case {
    std::string input;
    const char* first_row;
    std::string err;
  };
  const std::string limit_0 = "1\t1.00\t0.64\t2.00\t6.25\t4.00\n";
  const std::string no_limit = "pctlfit: warning: no lower limit read for LN3 ";
  const Case cases[] = {
      {"0.5\n", "1\t1.00\t0.78\t1.88\t7.37\t4.00\n", ""},
      {"\n \n0.5 1\n", "1\t1.00\t0.78\t1.88\t7.37\t4.00\n", ""},  // as "%lf" reads
      // Nothing readable, or no whole number: the limit stays 0, and the user is told.
      {"", limit_0.c_str(), no_limit + "(standard input is empty); using 0\n"},
      {"abc", limit_0.c_str(), no_limit + "(\"abc\"); using 0\n"},
  };
  test::write_file("a.dat", data_file(1, "2001 1 1 0 1\n2002 1 1 0 2\n2003 1 1 0 4\n"));
  test::write_file("list.txt", "a.dat\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const auto r = run_in_process({"list.txt", "LN3"}, c.input);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kBanner + "lower limit for LN3: ready..\n");
    EXPECT_EQ(r.err.substr(0, r.err.find("pctlfit: warning: column")), c.err);
    const std::string report = test::read_file("list.sta");
    EXPECT_NE(report.find("(LN3) for monthly values froma.dat \n" + std::string(c.first_row)),
              std::string::npos);
  }
  // An answer that starts as a number but is not wholly a finite one is refused, as -l refuses
  // it, instead of running with a limit of 0 or of a part of it.
  for (const std::string answer : {"0,5", "nan", "inf", "-inf", "1e400", "0.5x"}) {
    SCOPED_TRACE(answer);
    const auto refused = run_in_process({"list.txt", "LN3"}, answer + "\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, kBanner + "lower limit for LN3: pctlfit: lower limit \"" + answer +
                               "\" is not a number\n");
    EXPECT_EQ(run_in_process({"list.txt", "-l", answer}).out,
              kBanner + "pctlfit: lower limit \"" + answer + "\" is not a number\n");
  }
  const auto missing = run_in_process({"missing.txt", "LN3"}, "1\n");
  EXPECT_EQ(missing.out, kBanner + "lower limit for LN3: error opening script file missing.txt\n");
}

TEST_F(Run, ListFileFailures) {
  auto r = run_in_process({"missing.txt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kBanner + "error opening script file missing.txt\n");
  EXPECT_EQ(r.err,
            "pctlfit: missing.txt: No such file or directory\n"
            "pctlfit: missing.txt is the list file, the first argument: a text file that names one "
            "data file per line\n");
  EXPECT_FALSE(std::filesystem::exists("missing.sta"));

  std::filesystem::create_directory("folder.lst");
  r = run_in_process({"folder.lst"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kBanner + (test::kFolderOpens ? "error reading folder.lst \n"
                                                 : "error opening script file folder.lst\n"));
  EXPECT_EQ(r.err, test::kFolderOpens
                       ? "pctlfit: folder.lst: Is a directory\n"
                       : "pctlfit: folder.lst: Permission denied\npctlfit: folder.lst is the list "
                         "file, the first argument: a text file that names one data file per "
                         "line\n");
  EXPECT_FALSE(std::filesystem::exists("folder.sta"));

  for (const char* text : {"", "\n  \n\t\n"}) {
    SCOPED_TRACE(text);
    test::write_file("empty.txt", text);
    r = run_in_process({"empty.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, kBanner + "list file empty.txt names no data file\n");
  }
}

TEST_F(Run, ReportThatCannotBeCreated) {
  std::filesystem::create_directory("list.sta");
  test::write_file("list.txt", "a.dat\n");
  const auto r = run_in_process({"list.txt"});
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, kBanner + "error opening output file list.sta \n");
  EXPECT_EQ(r.err, test::kWindows ? "pctlfit: list.sta: Permission denied\n"
                                  : "pctlfit: list.sta: Is a directory\n");
}

TEST_F(Run, ReportNeverOverwritesAnInput) {
  const std::string data = data_file(1, "2001 1 1 0 1\n");
  test::write_file("a.dat", data);
  test::write_file("runs.sta", "a.dat\n");
  test::write_file("x.txt", "./x.sta\na.dat\n");
  test::write_file("x.sta", data);
  struct Case {
    const char* list;
    const char* report;
  };
  // The list itself; a data file named in another spelling.
  const Case cases[] = {{"runs.sta", "runs.sta"}, {"x.txt", "x.sta"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    const std::string before = test::read_file(c.report);
    const auto r = run_in_process({c.list});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, kBanner + "output file " + c.report + " is also an input file\n");
    EXPECT_EQ(test::read_file(c.report), before);
  }
}

// The guard against overwriting an input knows a file by the file system's identity, so that
// no other spelling of its name gets past it; distinct files pass.
TEST_F(Run, ReportIsNeverAnInputByAnyName) {
  const std::string data = data_file(1, "2001 1 1 0 1\n");
  test::write_file("a.dat", data);
  test::write_file("runs.sta", "a.dat\n");
  std::filesystem::create_directory("sub");
  struct Case {
    std::string list_text;  // of runs.txt; empty: runs.sta is the list
    int status;
  };
  std::vector<Case> cases = {
      {"", 4},
      {"a.dat\n./runs.sta\n", 4},
      {"a.dat\nsub/../runs.sta\n", 4},
      {"a.dat\n", 0},
  };
  if (test::kWindows) {
    cases.push_back({"a.dat\n.\\runs.sta\n", 4});
    cases.push_back({"a.dat\nRUNS.STA\n", 4});  // the file system does not tell case apart
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list_text);
    test::write_file("runs.sta", "a.dat\n");
    if (!c.list_text.empty()) test::write_file("runs.txt", c.list_text);
    const auto r = run_in_process({c.list_text.empty() ? "runs.sta" : "runs.txt"});
    EXPECT_EQ(r.status, c.status);
    if (c.status == 4) {
      EXPECT_EQ(r.out, kBanner + "output file runs.sta is also an input file\n");
      EXPECT_EQ(test::read_bytes("runs.sta"), "a.dat\n");
    }
    EXPECT_EQ(test::read_bytes("a.dat"), data);
  }
}

TEST_F(Run, NamesInUtf8) {
  const std::string name = "Abfluss_M\xC3\xBCller.dat";
  std::ofstream(std::filesystem::path(u8"Abfluss_M\u00fcller.dat"), std::ios::binary)
      << data_file(1, "2001 1 1 0 2\n");
  test::write_file("list.txt", name + "\n");
  const auto r = run_in_process({"list.txt", "NV"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(test::read_file("list.sta").find("from " + name + " \n1\t2.00"), std::string::npos);
}

TEST_F(Run, ColumnHeaderFailures) {
  test::write_file("short.dat", "t\nYYYY MM DD \nu\n");
  test::write_file("short.txt", "short.dat\n");
  auto r = run_in_process({"short.txt"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, kBanner + "'satz' falsch gelesen\n");
  EXPECT_EQ(test::read_file("short.sta"), "");

  test::write_file("list.txt", "none.dat\n");
  r = run_in_process({"list.txt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kBanner + "error opening file none.dat \n");
  EXPECT_EQ(r.err, "pctlfit: none.dat: No such file or directory\n");
}

TEST_F(Run, MissingLaterFileLeavesThePreviousReport) {
  test::write_file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  test::write_file("list.txt", "a.dat\nb.dat\n");
  test::write_file("list.sta", "the previous report\n");
  const auto r = run_in_process({"list.txt", "NV"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kBanner + "error opening b.dat \n");
  EXPECT_EQ(r.err, "pctlfit: b.dat: No such file or directory\n");
  EXPECT_EQ(test::read_file("list.sta"), "the previous report\n");
}

TEST(Options, ParsedAnywhere) {
  struct Case {
    std::vector<std::string> args;
    std::string error;  // empty: parsed
    std::optional<double> lower_limit = {};
    std::optional<std::string> output = {};
    std::optional<std::string> list = {};
    std::optional<std::string> mode = {};
    std::vector<std::string> ignored = {};
  };
  const std::string unknown = "pctlfit: unknown option ";
  const Case cases[] = {
      {{"runs.txt", "NV", "-q"}, "", {}, {}, "runs.txt", "NV"},
      {{"runs.txt", "-l", "0.5"}, "", 0.5, {}, "runs.txt", {}},
      {{"runs.txt", "LN2", "-o", "x.sta", "--table", "t.csv"}, "", {}, "x.sta", "runs.txt", "LN2"},
      {{"runs.txt", "NV", "LN3", "-q", "x"}, "", {}, {}, "runs.txt", "NV", {"LN3", "x"}},
      {{"runs.txt", "--", "-o", "x.sta"}, "", {}, {}, "runs.txt", "-o", {"x.sta"}},
      {{"-l", "0.5", "runs.txt"}, "", 0.5, {}, "runs.txt", {}},
      {{"-l-2", "runs.txt"}, "", -2.0, {}, "runs.txt", {}},
      {{"--lower-limit=1e-3", "runs.txt", "LN3"}, "", 1e-3, {}, "runs.txt", "LN3"},
      {{"--lower-limit", "+3", "runs.txt"}, "", 3.0, {}, "runs.txt", {}},
      {{"-o", "out.sta", "runs.txt"}, "", {}, "out.sta", "runs.txt", {}},
      {{"-oout.sta", "--output=b.sta", "runs.txt"}, "", {}, "b.sta", "runs.txt", {}},
      {{"--", "-runs.txt", "NV"}, "", {}, {}, "-runs.txt", "NV"},
      {{"-", "NV"}, "", {}, {}, "-", "NV"},  // "-" alone is a name
      {{"-l", "abc", "runs.txt"}, "pctlfit: lower limit \"abc\" is not a number"},
      {{"-l", "0.5x", "runs.txt"}, "pctlfit: lower limit \"0.5x\" is not a number"},
      {{"-l", "", "runs.txt"}, "pctlfit: lower limit \"\" is not a number"},
      {{"-l", "nan", "runs.txt"}, "pctlfit: lower limit \"nan\" is not a number"},
      {{"-l"}, "pctlfit: option -l needs a value"},
      {{"--output"}, "pctlfit: option --output needs a value"},
      {{"-x", "runs.txt"}, unknown + "-x (pctlfit --help lists the options)"},
      {{"--quiet=yes", "runs.txt"}, unknown + "--quiet=yes (pctlfit --help lists the options)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    Options options;
    std::string error;
    EXPECT_EQ(parse_options(c.args, options, error), c.error.empty());
    EXPECT_EQ(error, c.error);
    if (!c.error.empty()) continue;
    EXPECT_EQ(options.lower_limit, c.lower_limit);
    EXPECT_EQ(options.output, c.output);
    EXPECT_EQ(options.list_name, c.list);
    EXPECT_EQ(options.mode_word, c.mode);
    EXPECT_EQ(options.ignored_words, c.ignored);
  }
}

TEST_F(Run, WarningsAboutTheCommandLineAndTheList) {
  test::write_file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  test::write_file("list.txt", "# the members\na.dat\n./a.dat\na.dat\n");
  std::filesystem::create_directory("proj.x");
  test::write_file("proj.x/list.txt", "a.dat\n");
  struct Case {
    std::vector<std::string> args;
    std::string err;  // before the warnings about empty months
  };
  const std::string warning = "pctlfit: warning: ";
  const Case cases[] = {
      {{"list.txt", "nv"},
       warning + "unknown mode \"nv\"; fitting LN2 (the modes are NV, LN2 and LN3)\n" + warning +
           "list.txt:3: ./a.dat is listed again (first on line 2)\n" + warning +
           "list.txt:4: a.dat is listed again (first on line 2)\n"},
      {{"list.txt", "NV", "LN3"},
       warning + "ignored: \"LN3\"\n" + warning +
           "list.txt:3: ./a.dat is listed again (first on line 2)\n" + warning +
           "list.txt:4: a.dat is listed again (first on line 2)\n"},
      {{"proj.x/list.txt"},
       warning +
           "the report is proj.sta (the name is cut at its first point; -o chooses another)\n"},
      {{"-o", "proj.x/list.sta", "proj.x/list.txt"}, ""},
      {{test::kWindows ? "proj.x\\list.txt" : "proj.x/list.txt"},  // either separator on Windows
       warning +
           "the report is proj.sta (the name is cut at its first point; -o chooses another)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const auto r = run_in_process(c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kBanner + "ready..\n");
    EXPECT_EQ(r.err.substr(0, r.err.find("pctlfit: warning: column")), c.err);
  }
  EXPECT_TRUE(std::filesystem::exists("proj.sta"));
  EXPECT_TRUE(std::filesystem::exists("proj.x/list.sta"));
}

TEST(EverydayUse, HelpAndVersion) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const std::string usage =
      "usage: pctlfit <listfilename> [NV|LN2|LN3]\n\n"
      "The list file contains a list of all files, which should be processed\n"
      "NV  : optionale Parameter for using Gaussian distribution \n"
      "LN2 : optionale Parameter for using logarithmic Gaussian distribution (default)\n"
      "LN3 : optionale Parameter for using Log-Gaussian distribution with an lower limit\n";
  const std::string pointer =
      "See 'man pctlfit' or README.md for the file formats, the report and the exit statuses.\n";
  const std::string options = "\nOptions, anywhere on the line:\n";
  const Case cases[] = {
      {{"-h"}, 0, kBanner + usage + options},
      {{"--help", "x"}, 0, kBanner + usage + options},
      {{"-q", "--help"}, 0, usage + options},
      {{"--version"}, 0, std::string("pctlfit ") + PCTLFIT_VERSION + "\n"},
      {{"missing.txt", "--help"}, 0, kBanner + usage + options},  // options stand anywhere
      {{"--", "--help"}, 2, kBanner + "error opening script file --help\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const auto r = run_in_process(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
    if (c.status == 0) {
      EXPECT_EQ(r.err, "");
    }
  }
  EXPECT_TRUE(run_in_process({"-h"}).out.ends_with(pointer));
}

TEST(EverydayUse, ProgressLineText) {
  const std::string file = "member003.dat.gz";
  EXPECT_EQ(format_progress({nullptr, 0, 3, 40, &file, 12'549'999, 150'000'000}),
            "pctlfit: 3 of 40 files, member003.dat.gz, 12.5 of 150.0 MB read");
  EXPECT_EQ(format_progress({"sample pass", 2, 3, 40, &file, 12'549'999, 150'000'000}),
            "pctlfit: sample pass 2: 3 of 40 files, member003.dat.gz, 12.5 of 150.0 MB read");
  EXPECT_EQ(format_progress({"fit check pass", 0, 3, 40, &file, 12'549'999, 150'000'000}),
            "pctlfit: fit check pass: 3 of 40 files, member003.dat.gz, 12.5 of 150.0 MB read");
}

}  // namespace
}  // namespace pctlfit
