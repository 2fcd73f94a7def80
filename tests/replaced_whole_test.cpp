// The report and the table are replaced whole or not at all: a failed, interrupted or concurrent
// run never leaves a fragment where a good file stood.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "test_util.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace pctlfit {
namespace {

using test::data_file;

class ReplacedWhole : public test::WithTempDir {
 protected:
  // The names in the folder that start with a point: the temporary files of a run.
  std::vector<std::string> hidden_files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
      const std::string name = entry.path().filename().string();
      if (name[0] == '.' && name != ".stdin" && name != ".stdout" && name != ".stderr")
        names.push_back(name);
    }
    return names;
  }
};

// Every failure after the outputs are opened leaves the previous report and table as they were
// and no temporary file behind.
TEST_F(ReplacedWhole, AFailedRunLeavesThePreviousFiles) {
  struct Case {
    const char* name;
    std::string list;
    std::string args;
    int status;
  };
  file("good.dat", data_file(1, "2001 1 1 0 1\n2001 1 1 0 2\n"));
  file("bad.dat", data_file(1, "2001 1 1 0 x\n"));
  file("empty.dat", data_file(1, ""));
  const Case cases[] = {
      {"a later file missing", "good.dat\nnone.dat\n", "", 2},
      {"--strict", "bad.dat\ngood.dat\n", "--strict", 5},
      {"nothing pooled", "empty.dat\n", "", 6},
      {"the table's folder missing", "good.dat\n", "--table=nowhere/t.csv", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file("list.txt", c.list);
    file("out.sta", "the previous report\n");
    file("t.csv", "the previous table\n");
    const std::string table = c.status == 4 ? "" : " --table=t.csv";
    const auto r = test::run_binary(dir, "-o out.sta list.txt " + c.args + table);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    EXPECT_EQ(test::read_file(dir / "out.sta"), "the previous report\n");
    EXPECT_EQ(test::read_file(dir / "t.csv"), "the previous table\n");
    EXPECT_EQ(hidden_files(), std::vector<std::string>{});
  }
}

// A successful run replaces the files, keeping a symbolic link and the file's permissions.
TEST_F(ReplacedWhole, LinksAndPermissionsKept) {
  if (test::kWindows) GTEST_SKIP() << "POSIX links and permissions";
#ifndef _WIN32
  file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  file("list.txt", "a.dat\n");
  file("real.sta", "old\n");
  ::chmod((dir / "real.sta").c_str(), 0640);
  std::filesystem::create_symlink("real.sta", dir.path / "link.sta");
  const auto r = test::run_binary(dir, "-o link.sta list.txt");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path / "link.sta"));
  EXPECT_TRUE(test::read_file(dir / "real.sta").starts_with("MM\t1_Min"));
  struct stat status {};
  ::stat((dir / "real.sta").c_str(), &status);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(hidden_files(), std::vector<std::string>{});
#endif
}

// A FIFO named as the report is refused at once instead of blocking the run.
TEST_F(ReplacedWhole, AFifoIsNoReport) {
  if (test::kWindows) GTEST_SKIP() << "no FIFOs";
#ifndef _WIN32
  file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  file("list.txt", "a.dat\n");
  ASSERT_EQ(::mkfifo((dir / "pipe.sta").c_str(), 0600), 0);
  const auto r = test::run_binary(dir, "-q -o pipe.sta list.txt");
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(r.out, "error opening output file pipe.sta \n");
  EXPECT_EQ(r.err, "pctlfit: pipe.sta: a FIFO; the report and the table are written to files\n");
  const auto table = test::run_binary(dir, "-q --table=pipe.sta list.txt");
  EXPECT_EQ(table.status, 4);
  EXPECT_FALSE(std::filesystem::exists(dir / "list.sta"));
#endif
}

// Two runs writing one report at once: the report is one run's whole report, never a mix.
TEST_F(ReplacedWhole, ConcurrentRunsLeaveOneWholeReport) {
  if (test::kWindows) GTEST_SKIP() << "runs in the background through the POSIX shell";
  std::string a_records, b_records;
  for (int year = 1900; year < 2000; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const std::string date = std::to_string(year) + " " + std::to_string(month) + " 1 0";
      a_records += date + " 1.5 2.5 3.5\n";
      b_records += date + " 7.25 8.25 9.25\n";
    }
  }
  file("a.dat", data_file(3, a_records));
  file("b.dat", data_file(3, b_records));
  file("runs.a.txt", "a.dat\n");
  file("runs.b.txt", "b.dat\n");
  ASSERT_EQ(test::run_binary(dir, "-q -o a.sta runs.a.txt").status, 0);
  ASSERT_EQ(test::run_binary(dir, "-q -o b.sta runs.b.txt").status, 0);
  const std::string a = test::read_file(dir / "a.sta");
  const std::string b = test::read_file(dir / "b.sta");
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::string both = "cd '" + dir.path.string() + "' && { '" PCTLFIT_BINARY
                             "' -q runs.a.txt & '" PCTLFIT_BINARY "' -q runs.b.txt; wait; } 2> /dev/null";
    EXPECT_EQ(std::system(both.c_str()), 0);
    const std::string report = test::read_file(dir / "runs.sta");
    EXPECT_TRUE(report == a || report == b) << report.substr(0, 200);
  }
  EXPECT_EQ(hidden_files(), std::vector<std::string>{});
}

#ifndef _WIN32
// Ctrl-C or SIGTERM while the run waits on a FIFO in the list (its writer never comes): the
// signal ends the run as it would have, and the previous report and table stand.
TEST_F(ReplacedWhole, AnInterruptedRunLeavesThePreviousFiles) {
  file("a.dat", data_file(1, "2001 1 1 0 1\n"));
  ASSERT_EQ(::mkfifo((dir / "late.dat").c_str(), 0600), 0);
  file("list.txt", "a.dat\nlate.dat\n");
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    file("list.sta", "the previous report\n");
    file("t.csv", "the previous table\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::chdir(dir.path.c_str()) != 0) ::_exit(127);
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      ::execl(PCTLFIT_BINARY, PCTLFIT_BINARY, "list.txt", "--table=t.csv", nullptr);
      ::_exit(127);
    }
    // The run has opened its outputs once both temporary files exist.
    for (int wait = 0; wait < 1000 && hidden_files().size() < 2; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(hidden_files().size(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(child, signal_number);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
    EXPECT_EQ(test::read_file(dir / "list.sta"), "the previous report\n");
    EXPECT_EQ(test::read_file(dir / "t.csv"), "the previous table\n");
    EXPECT_EQ(hidden_files(), std::vector<std::string>{});
  }
}
#endif

}  // namespace
}  // namespace pctlfit
