#include "input/header.h"

#include "input/stream/line_splitter.h"
#include "platform/platform.h"
#include "text/c_locale.h"

namespace pctlfit {

namespace {
constexpr size_t kSkippedHeaderChars = 12;

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_c_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_c_space(text.back())) text.remove_suffix(1);
  return text;
}
}  // namespace

// The label's length: the first 12 characters, or in the date layout the first field up to its
// tab; npos when the line is too short for a label and headings.
size_t label_length(std::string_view line, bool had_newline, FileLayout layout) {
  if (layout == FileLayout::date) return line.find('\t');
  const size_t length = line.size() + (had_newline ? 1 : 0);
  return length <= kSkippedHeaderChars ? std::string_view::npos : kSkippedHeaderChars;
}

int count_header_columns(std::string_view line, bool had_newline, FileLayout layout) {
  const size_t skipped = label_length(line, had_newline, layout);
  if (skipped == std::string_view::npos) return -1;
  int columns = 0;
  size_t piece_length = 0;
  for (size_t i = skipped; i < line.size(); ++i) {
    if (line[i] == '\t') {
      if (piece_length > 0) ++columns;
      piece_length = 0;
    } else {
      ++piece_length;
    }
  }
  if (had_newline) ++piece_length;  // the newline belongs to the last piece
  if (piece_length > 0) ++columns;  // closed by the appended tab
  return columns;
}

std::vector<std::string> column_headings(std::string_view line, bool had_newline,
                                         FileLayout layout) {
  std::vector<std::string> headings;
  const size_t skipped = label_length(line, had_newline, layout);
  if (skipped == std::string_view::npos) return headings;
  // In the date layout the label's tab is the first separator, not a heading's end.
  const std::string_view rest = line.substr(layout == FileLayout::date ? skipped + 1 : skipped);
  size_t start = 0;
  for (size_t i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && rest[i] != '\t') continue;
    // The last piece counts when it has characters or the newline belongs to it.
    const bool counted = i > start || (i == rest.size() && had_newline);
    if (counted) headings.emplace_back(trim(rest.substr(start, i - start)));
    start = i + 1;
  }
  return headings;
}

namespace {
// Why a header line is too short, for a user who wrote one by hand.
std::string too_short_reason(bool has_header, const Line& line, FileLayout layout) {
  if (!has_header) return "the file has no second line, the column header line";
  if (layout == FileLayout::date) {
    return "the column header line (line 2) has no tab; in the date layout it is a first word "
           "such as DATE, then the column headings, separated by tabs";
  }
  const size_t length = line.text.size() + (line.had_newline ? 1 : 0);
  return "the column header line (line 2) has " + std::to_string(length) +
         " characters with its newline; it needs more than 12: 12 for the label of the date "
         "fields, then the column headings, separated by tabs";
}
}  // namespace

InputError count_columns(const std::string& list_name, const std::vector<std::string>& entries,
                         int& columns, std::vector<std::string>& headings, std::string* label,
                         FileLayout layout, OpenedFirstFile* pipe) {
  if (entries.empty()) return {InputErrorKind::list_names_no_file, list_name};
  const std::string& path = entries.front();
  LineSplitter splitter;
  if (!open_splitter(splitter, path)) {
    return {InputErrorKind::first_cannot_open, path, splitter.stream.open_errno,
            splitter.stream.problem};
  }
  Line line;
  const bool has_header = skip_line(splitter) && read_line(splitter, line, kLongestHeaderLine);
  uint64_t size = 0;
  const bool read_once = !read_failed(splitter) && !regular_file_size(splitter.stream.fd, size);
  if (pipe != nullptr && has_header && read_once) {
    // A pipe opened again would be drained: the data pass goes on from here.
    pipe->splitter = std::move(splitter);
    pipe->header = line;
    pipe->open = true;
  } else {
    close_splitter(splitter);
  }
  if (read_failed(splitter)) {
    return {InputErrorKind::first_cannot_read, path, splitter.stream.read_errno,
            splitter.stream.problem};
  }
  if (has_header && line.cut) return {InputErrorKind::header_too_long, path};
  columns = has_header ? count_header_columns(line.text, line.had_newline, layout) : -1;
  if (columns < 0) {
    return {InputErrorKind::header_too_short, path, 0, too_short_reason(has_header, line, layout)};
  }
  headings = column_headings(line.text, line.had_newline, layout);
  if (label != nullptr)
    *label = line.text.substr(0, label_length(line.text, line.had_newline, layout));
  return {};
}

}  // namespace pctlfit
