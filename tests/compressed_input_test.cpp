// Compressed data and list files: the same figures as the text, and every damaged stream an error
// with its reason.
#include <gtest/gtest.h>

#include <cstring>

#include "compression_util.h"
#include "input/stream/line_splitter.h"
#include "passes/data_pass.h"
#include "test_util.h"

namespace pctlfit {
namespace {

using test::gzip_member;
using test::zstd_frame;

// Three files of varied records, as text.
std::string member_text(int member) {
  std::string records;
  for (int year = 0; year < 60; ++year) {
    for (int month = 0; month <= 12; ++month) {
      records += std::to_string(1950 + year) + " " + std::to_string(month) + " 1 0";
      for (int c = 0; c < 6; ++c) {
        records += " " + std::to_string(((year * 37 + month * 11 + c * 5 + member) % 97) / 9.0);
      }
      records += "\n";
    }
  }
  return test::data_file(6, records);
}

class CompressedInput : public test::WithTempDir {
 protected:
  // The pass over `entries` in small blocks, so that files span several; 1 or 3 threads.
  StatsTable pass(const std::vector<std::string>& entries, int threads, InputError& error) {
    StatsTable table = allocate_table(6);
    WarningSink warnings;
    DataPassOptions options;
    options.pass.threads = threads;
    options.pass.min_bytes_for_threads = 0;
    options.pass.block_size = 4096;
    error = read_data_files(entries, {DistributionMode::LN2, 0.0}, table, warnings, options);
    return table;
  }
};

TEST_F(CompressedInput, SameFiguresAsTheText) {
  std::vector<std::string> plain, gzip, zstd, several, mixed, padded;
  for (int m = 0; m < 3; ++m) {
    const std::string text = member_text(m);
    const std::string name = "m" + std::to_string(m);
    const size_t cut = text.size() / 3 + 7;  // members and frames end inside a line
    plain.push_back(file(name + ".dat", text));
    gzip.push_back(file(name + ".dat.gz", gzip_member(text)));
    zstd.push_back(file(name + ".dat.zst", zstd_frame(text)));
    several.push_back(
        file(name + ".several.gz",
             gzip_member(text.substr(0, cut)) + gzip_member("") + gzip_member(text.substr(cut))));
    several.push_back(file(name + ".several.zst",
                           zstd_frame(text.substr(0, cut)) + zstd_frame(text.substr(cut))));
    mixed.push_back(m == 0 ? plain.back() : m == 1 ? gzip.back() : zstd.back());
    // Zero bytes after the last member, as tapes and block devices pad: the end of the file.
    padded.push_back(
        file(name + ".padded.gz", gzip_member(text) + std::string(size_t(m) << 18, '\0')));
  }
  InputError error;
  const StatsTable expected = pass(plain, 1, error);
  ASSERT_FALSE(failed(error));
  // Each multi-member file holds the text once: the list of them holds it twice.
  const StatsTable expected_twice =
      pass({plain[0], plain[0], plain[1], plain[1], plain[2], plain[2]}, 1, error);
  const std::pair<const char*, std::vector<std::string>*> lists[] = {{"gzip", &gzip},
                                                                     {"zstd", &zstd},
                                                                     {"several", &several},
                                                                     {"mixed", &mixed},
                                                                     {"padded", &padded}};
  for (const auto& [name, list] : lists) {
    if (!test::kHaveZstd && list != &gzip && list != &padded) continue;
    for (int threads : {1, 3}) {
      SCOPED_TRACE(std::string(name) + " threads " + std::to_string(threads));
      const StatsTable table = pass(*list, threads, error);
      ASSERT_FALSE(failed(error)) << error.reason;
      const StatsTable& want = list == &several ? expected_twice : expected;
      EXPECT_EQ(std::memcmp(table.cells.data(), want.cells.data(),
                            want.cells.size() * sizeof(MonthStats)),
                0);
    }
  }
}

TEST_F(CompressedInput, DamagedStreamsAreReadErrors) {
  const std::string text = member_text(0);
  const std::string gz = gzip_member(text);
  const std::string zst = zstd_frame(text);
  std::string flipped_crc = gz;
  flipped_crc[gz.size() - 6] ^= 0x01;  // the CRC-32 before the length
  std::string flipped_length = gz;
  flipped_length[gz.size() - 1] ^= 0x01;
  std::string flipped_zst = zst;
  flipped_zst[zst.size() - 2] ^= 0x01;  // in the frame's checksum or last block
  struct Case {
    const char* name;
    std::string bytes;
    std::string reason;  // the start of it
  };
  const Case cases[] = {
      {"gzip cut in its header", gz.substr(0, 5), "truncated gzip stream"},
      {"gzip cut in the header lines", gz.substr(0, 40), "truncated gzip stream"},
      {"gzip cut in the records", gz.substr(0, gz.size() / 2), "truncated gzip stream"},
      {"gzip cut in its trailer", gz.substr(0, gz.size() - 3), "truncated gzip stream"},
      {"gzip magic only", gz.substr(0, 2), "truncated gzip stream"},
      {"gzip crc", flipped_crc, "gzip checksum mismatch"},
      {"gzip length", flipped_length, "gzip checksum mismatch"},
      {"gzip garbage after", gz + "garbage", "trailing garbage after gzip stream"},
      {"gzip one byte after", gz + "\x1f", "trailing garbage after gzip stream"},
      {"gzip zeros, then a byte", gz + std::string(200000, '\0') + "x",
       "trailing garbage after gzip stream"},
      {"gzip zeros, then a member", gz + std::string(9, '\0') + gz,
       "trailing garbage after gzip stream"},
      {"zstd cut in the records", zst.substr(0, zst.size() / 2), "truncated zstd stream"},
      {"zstd magic only", zst.substr(0, 4), "truncated zstd stream"},
      {"zstd cut at the end", zst.substr(0, zst.size() - 1), "truncated zstd stream"},
      {"zstd flipped", flipped_zst, "corrupt zstd stream"},
      {"zstd garbage after", zst + "garbage", "trailing garbage after zstd stream"},
      {"zstd zeros after", zst + std::string(9, '\0'), "trailing garbage after zstd stream"},
  };
  const std::string good = file("good.dat", text);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!test::kHaveZstd && c.reason.find("zstd") != std::string::npos) continue;
    const std::string damaged = file("damaged", c.bytes);
    for (int threads : {1, 3}) {
      InputError error;
      pass({good, damaged, good}, threads, error);
      EXPECT_EQ(error.kind, InputErrorKind::data_cannot_read);
      EXPECT_EQ(error.path, damaged);
      EXPECT_EQ(error.reason.substr(0, c.reason.size()), c.reason);
    }
  }
}

TEST_F(CompressedInput, AnEmptyStreamIsAnEmptyFile) {
  InputError error;
  const std::string text = file("a.dat", member_text(1));
  const StatsTable plain = pass({text}, 1, error);
  for (const std::string& empty : {gzip_member(""), gzip_member("") + gzip_member(""),
                                   test::kHaveZstd ? zstd_frame("") : gzip_member("")}) {
    const StatsTable table = pass({text, file("empty", empty)}, 1, error);
    EXPECT_FALSE(failed(error)) << error.reason;
    EXPECT_EQ(std::memcmp(table.cells.data(), plain.cells.data(),
                          plain.cells.size() * sizeof(MonthStats)),
              0);
  }
}

TEST_F(CompressedInput, ListFileAndRunAsAUserSeesThem) {
  file("a.dat.gz", gzip_member(member_text(0)));
  file("b.dat", member_text(1));
  file("list.txt", "a.dat.gz\nb.dat\n");
  file("list.gz", gzip_member("a.dat.gz\nb.dat\n"));
  ASSERT_EQ(run_binary(dir, "list.txt").status, 0);
  const auto r = run_binary(dir, "-o gz.sta list.gz");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(test::read_file(dir / "gz.sta"), test::read_file(dir / "list.sta"));

  std::string broken = gzip_member(member_text(1));
  file("b.dat", broken.substr(0, broken.size() - 20));
  const auto failed_run = run_binary(dir, "list.txt");
  EXPECT_EQ(failed_run.status, 2);
  EXPECT_EQ(failed_run.out, test::kBanner + "error reading b.dat \n");
  EXPECT_EQ(failed_run.err, "pctlfit: b.dat: truncated gzip stream\n");
  EXPECT_EQ(test::read_file(dir / "list.sta"), test::read_file(dir / "gz.sta"));  // as it was
}

TEST_F(CompressedInput, AFormatThisBuildCannotReadIsRefused) {
  if (test::kHaveZstd) GTEST_SKIP() << "this build reads zstd";
  file("a.dat", member_text(0));
  file("b.dat.zst", zstd_frame(member_text(1)));
  file("list.txt", "a.dat\nb.dat.zst\n");
  const auto r = run_binary(dir, "list.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, test::kBanner + "error reading b.dat.zst \n");
  EXPECT_EQ(
      r.err.rfind("pctlfit: b.dat.zst: a zstd file, which this build of pctlfit cannot read", 0),
      0u);
}

}  // namespace
}  // namespace pctlfit
