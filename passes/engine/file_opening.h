#pragma once
// A listed file opened for a pass: its three header lines read (only the second is kept), and
// the way its records are to be read: a plain regular file at offsets, in extents, anything else
// (a compressed file, a pipe) through its stream.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/header.h"
#include "input/input_error.h"
#include "input/layout.h"
#include "input/stream/line_extent.h"
#include "input/stream/line_splitter.h"

namespace pctlfit {

struct FileOpening {
  InputError error;         // data_cannot_open, header_too_long or data_cannot_read; else none
  int header_columns = -2;  // the columns its header names (-1 too short, -2 none)
  std::vector<std::string> headings;                 // and their headings (see column_headings)
  bool has_records = false;                          // false for a file of fewer than three lines
  std::shared_ptr<const PositionedFile> positioned;  // records read at offsets from here
  uint64_t records_offset = 0;                       // where they start
  uint64_t bytes = 0;                 // bytes of the file read so far (compressed ones if it is)
  bool cr_line_ends = false;          // see LineSplitter
  bool third_line_is_record = false;  // a header of two lines above the records, most likely
  bool third_line_is_dated = false;   // and a date layout's file at that
};

// Hands the next pass a pipe that the column count read the first two lines of (see
// count_columns): the opening of `path` then goes on from there instead of opening it again.
void hand_over_opened(const std::string& path, OpenedFirstFile&& opened);
// Closes a pipe handed over that no opening took.
void forget_handed_over();

// Opens `path` through the splitter and reads its header lines into `header`. The splitter
// stays open only when the records are to be read through it: has_records, no failure and not
// `positioned` (which plain regular files are when `read_at_offsets`).
// The date layout has two header lines.
FileOpening open_listed_file(LineSplitter& splitter, const std::string& path, Line& header,
                             bool read_at_offsets, FileLayout layout = FileLayout::standard);

// The splitter's failure for `path` as an input error of `kind`.
InputError stream_error(const LineSplitter& splitter, InputErrorKind kind, const std::string& path);

}  // namespace pctlfit
