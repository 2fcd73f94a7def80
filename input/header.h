#pragma once
// The column count, from the column header line (the second line) of a data file.

#include <string>
#include <string_view>
#include <vector>

#include "input/input_error.h"
#include "input/layout.h"
#include "input/stream/line_splitter.h"

namespace pctlfit {

// The longest column header line taken, in bytes: far above any real header (20 bytes a column
// give 800 000 columns), and a fixed amount of memory whatever a file holds.
constexpr size_t kLongestHeaderLine = size_t{16} << 20;

// The number of columns that the header line `line` (without its newline) names, or -1 when the
// line is too short (12 characters or fewer, a newline counted as one). The first 12 characters
// are skipped; the rest, with a tab appended, is split at its tabs and every non-empty piece is a
// column. So an empty heading between two tabs is no column, while a tab right before the
// newline makes the newline alone a column.
// In the date layout the label is the line's first field, up to its first tab (no tab: too
// short).
int count_header_columns(std::string_view line, bool had_newline,
                         FileLayout layout = FileLayout::standard);

// The headings of the columns that count_header_columns counts, in order, each with surrounding
// white space (the newline of a last piece included) trimmed; a heading may be empty. Empty for
// a line that is too short.
std::vector<std::string> column_headings(std::string_view line, bool had_newline,
                                         FileLayout layout = FileLayout::standard);

// A first data file that can be read only once (a pipe): its splitter, left open after its
// column header line, and that line, for the data pass to go on from.
struct OpenedFirstFile {
  LineSplitter splitter;
  Line header;
  bool open = false;
};

// The column count N of the data files and their headings, from the header line of the first
// entry of the list `list_name`, and in `label` (if given) the line's first 12 characters,
// which are skipped. Fails with list_names_no_file (naming the list), first_cannot_open,
// first_cannot_read, header_too_short (also when the file has no second line; its reason says
// what the line needs) or header_too_long.
// Where `pipe` is given and the first file is no regular file, it is left open in `pipe`.
InputError count_columns(const std::string& list_name, const std::vector<std::string>& entries,
                         int& columns, std::vector<std::string>& headings,
                         std::string* label = nullptr, FileLayout layout = FileLayout::standard,
                         OpenedFirstFile* pipe = nullptr);

}  // namespace pctlfit
