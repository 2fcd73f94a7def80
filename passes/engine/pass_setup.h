#pragma once
// What every pass over the listed files shares: its threads and block size, and the set-up of
// the block source and the pipeline that it runs over the files.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "input/input_error.h"
#include "input/layout.h"
#include "passes/engine/pipeline.h"

namespace pctlfit {

// How far a pass has come. The bytes are those on disk: compressed ones for a compressed file,
// so that they add up to the files' sizes.
struct PassProgress {
  const char* pass = nullptr;  // a later pass's name ("sample pass"); nullptr: the data pass
  int pass_number = 0;         // of a pass that may run several times (0: none)
  size_t files_done = 0;
  size_t files_total = 0;
  const std::string* file = nullptr;  // the current one
  uint64_t bytes_read = 0;
  uint64_t bytes_total = 0;
};

// Called after each file and block in order; may be empty.
using ProgressSink = std::function<void(const PassProgress& progress)>;

struct PassOptions {
  int threads = 1;                            // parsing threads; 1 reads on the calling thread only
  uint64_t min_bytes_for_threads = 8u << 20;  // smaller inputs are read on the calling thread
  // A block's values (8 bytes for each 6 or so of text) stay in the second-level cache between
  // parsing and summing: 256 KiB ran 10 % faster than 1 MiB. Compressed files: four times as
  // much (see block_source.cpp).
  size_t block_size = 256u << 10;
  // Plain files read in extents at offsets, each by the worker that parses it (false: every file
  // through its stream, in turn, as compressed ones are).
  bool read_at_offsets = true;
  FileLayout layout = FileLayout::standard;
  // The first file's headings: a later file with the same headings in another order is read
  // into their columns. nullptr: every file by position.
  const std::vector<std::string>* headings = nullptr;
  // A later pass: its progress, after each file and block, and its name for that.
  ProgressSink progress;
  const char* pass_name = nullptr;
  int pass_number = 0;
};

// The files of a pass and what is known of them before it starts.
struct PassFiles {
  const std::vector<std::string>& entries;
  int columns;           // the column count N: it bounds a record line
  uint64_t total_bytes;  // the entries' sizes on disk, summed (a file without one counts 0)
};

PassFiles pass_files(const std::vector<std::string>& entries, int columns);

// The parsing threads for a pass: small inputs are read on the calling thread.
int pass_threads(const PassOptions& options, const PassFiles& files);

// Runs one pass over the files with its steps (see run_pipeline); `apply` gets the files'
// columns in ranges.
void run_pass(const PassFiles& files, const PassOptions& options, PassSteps steps);

// A pass whose in-order step only watches for the end: runs it, and returns the failure that
// ended it, if any (a later pass, whose lines the data pass has described).
InputError run_pass_to_failure(const PassFiles& files, const PassOptions& options,
                               const ParseItem& parse, const ApplyColumns& apply);

}  // namespace pctlfit
