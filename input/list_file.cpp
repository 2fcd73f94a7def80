#include "input/list_file.h"

#include "input/file_reader.h"
#include "text/c_locale.h"

namespace pctlfit {

std::vector<std::string> parse_list_entries(std::string_view text, std::vector<long>* lines) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string> entries;
  size_t pos = 0;
  for (long line = 1; pos < text.size(); ++line) {
    size_t line_end = text.find('\n', pos);
    if (line_end == std::string_view::npos) line_end = text.size();
    size_t word = pos;
    // A NUL ends the word as it would end a C string; it never reaches a file name.
    while (word < line_end && is_c_space(text[word])) ++word;
    size_t word_end = word;
    while (word_end < line_end && !is_c_space(text[word_end]) && text[word_end] != '\0') ++word_end;
    if (word_end > word && text[word] != '#') {
      entries.emplace_back(text.substr(word, word_end - word));
      if (lines != nullptr) lines->push_back(line);
    }
    pos = line_end + 1;
  }
  return entries;
}

InputError read_list_file(const std::string& path, std::vector<std::string>& entries,
                          std::vector<long>* lines) {
  std::string text;
  bool opened = false;
  int error_number = 0;
  std::string problem;
  if (!read_whole_file(path, text, opened, error_number, problem)) {
    return {opened ? InputErrorKind::list_cannot_read : InputErrorKind::list_cannot_open, path,
            error_number, problem};
  }
  entries = parse_list_entries(text, lines);
  return {};
}

}  // namespace pctlfit
