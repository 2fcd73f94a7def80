// A file changed under the run is caught: a stamp that a rewrite with its time set back cannot
// keep, and a read that ends before the size the file had when it was opened.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "input/stream/line_extent.h"
#include "platform/platform.h"
#include "test_util.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace pctlfit {
namespace {

class ChangedFiles : public test::WithTempDir {};

// Each way of changing a file changes its stamp, even with its modification time set back.
TEST_F(ChangedFiles, StampCatchesRewritesWithTheirTimeSetBack) {
  if (test::kWindows) GTEST_SKIP() << "Wine keeps no change time of its own";
  struct Case {
    const char* name;
    bool rewrite;  // the same size, other bytes, in place
    bool replace;  // a new file renamed over it
    bool changed;
  };
  const Case cases[] = {
      {"untouched", false, false, false},
      {"rewritten in place", true, false, true},
      {"replaced by a new file", false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = file("a.dat", "2001 1 1 0 1.25\n");
    const auto time = std::filesystem::last_write_time(path);
    FileStamp before;
    ASSERT_TRUE(file_stamp(path, before));
    // The system's change time may move in steps of a clock tick.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    if (c.rewrite) test::write_file(path, "2001 1 1 0 9.75\n");
    if (c.replace) {
      std::filesystem::rename(file("b.dat", "2001 1 1 0 9.75\n"), path);
    }
    // As touch -r or a tool that keeps times (which itself moves the change time).
    if (c.rewrite || c.replace) std::filesystem::last_write_time(path, time);
    FileStamp after;
    ASSERT_TRUE(file_stamp(path, after));
    EXPECT_EQ(before.size, after.size);
    EXPECT_EQ(before.modified, after.modified);
    EXPECT_EQ(before != after, c.changed);
  }
}

// A file shortened after it was opened (a model still writing it, or a rewrite) fails the read
// of its records, instead of ending them early without a word.
TEST_F(ChangedFiles, ShortenedFileFailsItsRead) {
  const std::string records = "2001 1 1 0 1\n2001 2 1 0 2\n2001 3 1 0 3\n";
  for (const bool shortened : {false, true}) {
    SCOPED_TRACE(shortened);
    const std::string path = file("a.dat", records);
    auto positioned = std::make_shared<PositionedFile>();
    positioned->fd = open_for_reading(path);
    ASSERT_GE(positioned->fd, 0);
    positioned->end = records.size();
    if (shortened) std::filesystem::resize_file(path, 13);
    const LineExtent extent{positioned, 0, records.size(), true};
    std::string block;
    size_t length = 0;
    int error_number = -1;
    EXPECT_EQ(read_extent_lines(extent, 1 << 16, block, length, error_number), !shortened);
    if (shortened) {
      EXPECT_EQ(error_number, 0);
    } else {
      EXPECT_EQ(block.substr(0, length), records);
    }
  }
}

#ifndef _WIN32
// Options that read the files again refuse a pipe in the list up front, instead of finding it
// drained (or waiting for a writer for ever) in their second pass.
TEST_F(ChangedFiles, PipesAreNotReadTwice) {
  file("a.dat", test::data_file(1, "2001 1 1 0 1\n"));
  ASSERT_EQ(::mkfifo((dir / "b.dat").c_str(), 0600), 0);
  file("list.txt", "a.dat\nb.dat\n");
  for (const std::string option : {"--check-fit", "--sample --table=t.csv"}) {
    SCOPED_TRACE(option);
    const auto r = test::run_binary(dir, "-q list.txt " + option, "", "timeout 20");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "pctlfit: " + option.substr(0, option.find(' ')) +
                         " reads the files again, but b.dat is a pipe, read once: save it to a "
                         "file first\n");
  }
}

// A FIFO in the list waits for its writer, as the shell's tools do, and says so after a few
// seconds; its records are pooled like a file's. A device is refused at once.
TEST_F(ChangedFiles, FifosWaitAndSayItDevicesAreRefused) {
  file("a.dat", test::data_file(1, "2001 1 1 0 1\n"));
  file("b.src", test::data_file(1, "2002 1 1 0 3\n"));
  ASSERT_EQ(::mkfifo((dir / "b.dat").c_str(), 0600), 0);
  file("list.txt", "a.dat\nb.dat\n");
  const std::string command = "cd '" + dir.path.string() +
                              "' && { (sleep 4; cat b.src > b.dat) & timeout 30 '" PCTLFIT_BINARY
                              "' -q list.txt NV 2> err.txt; }";
  EXPECT_EQ(std::system(command.c_str()), 0);
  const std::string err = test::read_file(dir / "err.txt");
  EXPECT_NE(err.find("pctlfit: waiting for a writer on b.dat, a FIFO\n"), std::string::npos)
      << err;
  EXPECT_NE(test::read_file(dir / "list.sta").find("\n1\t1.00\t2.00\t2.00\t2.00\t3.00\n"),
            std::string::npos);
  // A pipe as the first member is read once: its header lines for the column count, the rest
  // by the data pass, which would find it drained if it opened it again.
  file("piped.txt", "/dev/stdin\n");
  file("plain.txt", "b.src\n");
  const std::string piped = "cd '" + dir.path.string() + "' && cat b.src | timeout 30 '" +
                            PCTLFIT_BINARY + "' -q -o piped.sta piped.txt NV 2> /dev/null";
  EXPECT_EQ(std::system(piped.c_str()), 0);
  ASSERT_EQ(test::run_binary(dir, "-q -o plain.sta plain.txt NV").status, 0);
  const std::string piped_report = test::read_file(dir / "piped.sta");
  const std::string plain_report = test::read_file(dir / "plain.sta");
  EXPECT_EQ(piped_report.substr(piped_report.find("\n1\t")),
            plain_report.substr(plain_report.find("\n1\t")));
  file("device.txt", "a.dat\n/dev/zero\n");
  const auto device = test::run_binary(dir, "-q device.txt", "", "timeout 30");
  EXPECT_EQ(device.status, 2);
  EXPECT_EQ(device.out, "error opening /dev/zero \n");
  EXPECT_EQ(device.err, "pctlfit: /dev/zero: a device, not a file of records\n");
}
#endif

}  // namespace
}  // namespace pctlfit
