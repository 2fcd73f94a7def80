#pragma once
// What went wrong while reading the inputs; run control turns it into a message and a status.

#include <string>

namespace pctlfit {

// The first data file is opened twice: once for the column count, once in the data pass. The
// two openings have messages of their own ("error opening file NAME " and "error opening NAME "),
// which scripts tell apart, so first_* and data_* are separate kinds. Every kind names its file
// in `path`.
enum class InputErrorKind {
  none,                // no error; `path` is empty
  list_cannot_open,    // the list file does not open (missing, no permission)
  list_cannot_read,    // the list file opens but a read fails (a directory, an I/O error)
  list_names_no_file,  // the list names no file (empty, blank lines only); `path` is the list
  first_cannot_open,   // the first data file does not open for the column count
  first_cannot_read,   // the first data file opens but cannot be read for the column count
  header_too_short,    // the first data file's second line is 12 characters or fewer, or missing
  header_too_long,     // a data file's second line is longer than kLongestHeaderLine
  list_line_too_long,  // a line of the list whose first word is longer than any file name; `line`
  data_cannot_open,    // a data file does not open in the data pass
  data_cannot_read,    // a data file opens but a read fails in the data pass
};

struct InputError {
  InputErrorKind kind = InputErrorKind::none;
  std::string path;         // the file concerned
  int error_number = 0;     // *_cannot_open, *_cannot_read: the system's errno, 0 if unknown
  std::string reason = {};  // *_cannot_read of a damaged compressed stream: why, instead of errno
  long line = 0;            // list_line_too_long: the line of the list, from 1
};

inline bool failed(const InputError& error) { return error.kind != InputErrorKind::none; }

}  // namespace pctlfit
