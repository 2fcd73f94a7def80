#include "input/list_file.h"

#include "input/record/record_parser.h"
#include "input/stream/line_splitter.h"
#include "platform/platform.h"
#include "text/c_locale.h"

namespace pctlfit {

namespace {
// The line's first word, up to white space or a NUL (as a C string would end); empty for none.
std::string_view first_word(std::string_view line) {
  size_t word = 0;
  while (word < line.size() && is_c_space(line[word])) ++word;
  size_t word_end = word;
  while (word_end < line.size() && !is_c_space(line[word_end]) && line[word_end] != '\0')
    ++word_end;
  return line.substr(word, word_end - word);
}
}  // namespace

std::string_view list_entry(std::string_view line) {
  const std::string_view word = first_word(line);
  return word.starts_with('#') ? std::string_view() : word;
}

InputError read_list_file(const std::string& path, std::vector<std::string>& entries,
                          std::vector<long>* lines, bool* cr_line_ends) {
  LineSplitter splitter;
  if (!open_splitter(splitter, path)) {
    return {InputErrorKind::list_cannot_open, path, splitter.stream.open_errno};
  }
  const size_t longest_name = longest_path_name();
  entries.clear();
  Line line;
  // One byte more than the longest name is kept, so that the end of a longest name is seen.
  for (long number = 1; read_line(splitter, line, longest_name + 1); ++number) {
    const std::string_view word = first_word(line.text);
    const bool word_ends = word.end() < line.text.data() + line.text.size() || !line.cut;
    if (!word.starts_with('#') && (word.size() > longest_name || !word_ends)) {
      close_splitter(splitter);
      return {.kind = InputErrorKind::list_line_too_long, .path = path, .line = number};
    }
    const std::string_view entry = list_entry(line.text);
    if (entry.empty()) continue;
    entries.emplace_back(entry);
    if (lines != nullptr) lines->push_back(number);
  }
  close_splitter(splitter);
  if (cr_line_ends != nullptr) *cr_line_ends = splitter.cr_line_ends;
  if (read_failed(splitter)) {
    return {InputErrorKind::list_cannot_read, path, splitter.stream.read_errno,
            splitter.stream.problem};
  }
  return {};
}

bool looks_like_data_file(const std::string& path) {
  constexpr int kLinesLookedAt = 8;
  LineSplitter splitter;
  if (!open_splitter(splitter, path)) return false;
  Line line;
  bool header_has_tabs = false;
  int lines = 0;
  int records = 0;
  while (lines < kLinesLookedAt && read_line(splitter, line, longest_path_name())) {
    ++lines;
    if (lines == 2) header_has_tabs = line.text.find('\t') != std::string::npos;
    double no_values = 0;
    if (lines > 3 && parse_record(line.text, 0, &no_values).status == RecordStatus::record) {
      ++records;
    }
  }
  close_splitter(splitter);
  return header_has_tabs && records > 0 && records == lines - 3;
}

}  // namespace pctlfit
