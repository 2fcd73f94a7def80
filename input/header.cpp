#include "input/header.h"

#include "input/file_reader.h"

namespace pctlfit {

namespace {
constexpr size_t kSkippedHeaderChars = 12;
}

int count_header_columns(std::string_view line, bool had_newline) {
  const size_t length = line.size() + (had_newline ? 1 : 0);
  if (length <= kSkippedHeaderChars) return -1;
  int columns = 0;
  size_t piece_length = 0;
  for (size_t i = kSkippedHeaderChars; i < line.size(); ++i) {
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

InputError count_columns(const std::string& list_name, const std::vector<std::string>& entries,
                         int& columns) {
  if (entries.empty()) return {InputErrorKind::list_names_no_file, list_name};
  const std::string& path = entries.front();
  FileReader reader;
  if (!open_file_reader(reader, path)) return {InputErrorKind::first_cannot_open, path};
  std::string line;
  bool had_newline = false;
  const bool has_header =
      read_line(reader, line, had_newline) && read_line(reader, line, had_newline);
  const bool read_failed = reader.read_errno != 0;
  close_file_reader(reader);
  if (read_failed) return {InputErrorKind::first_cannot_read, path};
  columns = has_header ? count_header_columns(line, had_newline) : -1;
  if (columns < 0) return {InputErrorKind::header_too_short, path};
  return {};
}

}  // namespace pctlfit
