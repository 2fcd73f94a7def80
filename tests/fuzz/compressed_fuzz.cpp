// Fuzzes the reading of a compressed data file: arbitrary bytes (seeded with gzip and zstd files)
// as a file, read by lines and by blocks as the run reads it. Properties: no crash, hang or leak;
// the reader ends, at the end of the stream or with a read error that names a reason; no block
// is longer than its bound, also where long lines are cut (the seeds hold some).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "input/stream/line_splitter.h"

namespace {

const std::string& work_file() {
  static const std::string path = [] {
    char pattern[] = "/tmp/pctlfit_fuzz_compressed_XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0) std::abort();
    ::close(fd);
    return std::string(pattern);
  }();
  static const bool cleanup_registered = std::atexit([] { ::unlink(path.c_str()); }) == 0;
  (void)cleanup_registered;
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = work_file();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  pctlfit::LineSplitter splitter;
  if (!pctlfit::open_splitter(splitter, path)) __builtin_trap();
  pctlfit::Line line;
  for (int i = 0; i < 3 && pctlfit::read_line(splitter, line, 64); ++i) {
    if (line.text.size() > 64) __builtin_trap();
  }
  // Small blocks and a short longest line, so that long lines are cut and skipped. A block holds
  // at most the buffer: the larger of the block's size and the 64 KiB read for the header lines.
  std::string block;
  size_t length = 0;
  while (pctlfit::read_block(splitter, block, length, 4096, 1000)) {
    if (length == 0 || length > block.size() || length > (64 << 10)) __builtin_trap();
  }
  const bool compressed = splitter.stream.format != nullptr;
  if (pctlfit::read_failed(splitter) && compressed && splitter.stream.problem.empty())
    __builtin_trap();
  pctlfit::close_splitter(splitter);
  return 0;
}
