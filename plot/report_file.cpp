#include "plot/report_file.h"

#include <cstdlib>
#include <string_view>

namespace pctlfit::plot {

namespace {

constexpr const char* kSuffixes[kFigures] = {"_Min", "_5%", "_50%", "_95%", "_Max"};

std::vector<std::string_view> split(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == separator) {
      fields.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  return fields;
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines = split(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();  // the final newline
  for (std::string_view& line : lines) {
    if (line.ends_with('\r')) line.remove_suffix(1);
  }
  return lines;
}

bool parse_number(std::string_view field, double& value) {
  const std::string text(field);
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size();
}

std::string at(const std::string& file, size_t line) {
  return file + ":" + std::to_string(line) + ": ";
}

// The header must be MM, then J_Min, J_5%, J_50%, J_95%, J_Max for J = 1, 2, ...
bool parse_header(std::string_view line, size_t& columns) {
  const std::vector<std::string_view> fields = split(line, '\t');
  if (fields.empty() || fields[0] != "MM" || (fields.size() - 1) % kFigures != 0) return false;
  columns = (fields.size() - 1) / kFigures;
  for (size_t j = 0; j < columns; ++j) {
    for (int f = 0; f < kFigures; ++f) {
      if (fields[1 + j * kFigures + size_t(f)] != std::to_string(j + 1) + kSuffixes[f])
        return false;
    }
  }
  return true;
}

bool parse_row(std::string_view line, size_t month, Report& report, std::string& what) {
  const std::vector<std::string_view> fields = split(line, '\t');
  const size_t expected = 1 + report.columns.size() * kFigures;
  if (fields.size() != expected) {
    what =
        "expected " + std::to_string(expected) + " fields, found " + std::to_string(fields.size());
    return false;
  }
  if (fields[0] != std::to_string(month)) {
    what = "expected the row of month " + std::to_string(month);
    return false;
  }
  for (size_t i = 1; i < fields.size(); ++i) {
    const size_t column = (i - 1) / kFigures;
    const size_t figure = (i - 1) % kFigures;
    if (!parse_number(fields[i], report.columns[column].months[month - 1][figure])) {
      what = "field " + std::to_string(i + 1) + " is not a number";
      return false;
    }
  }
  return true;
}

}  // namespace

bool parse_report(const std::string& text, const std::string& file, Report& report,
                  std::string& error) {
  const std::vector<std::string_view> lines = split_lines(text);
  size_t columns = 0;
  if (lines.empty() || !parse_header(lines[0], columns) || columns == 0) {
    error = at(file, 1) +
            "not a pctlfit report (expected MM, then J_Min, J_5%, J_50%, J_95%, J_Max for each "
            "column J)";
    return false;
  }
  if (lines.size() < 2) {
    error = file + ": no title line";
    return false;
  }
  report.title = std::string(lines[1]);
  while (report.title.ends_with(' ')) report.title.pop_back();
  report.columns.assign(columns, ColumnFigures{});
  for (size_t month = 1; month <= 12; ++month) {
    const size_t index = month + 1;
    if (index >= lines.size()) {
      error = file + ": only " + std::to_string(month - 1) + " of 12 month rows";
      return false;
    }
    std::string what;
    if (!parse_row(lines[index], month, report, what)) {
      error = at(file, index + 1) + what;
      return false;
    }
  }
  for (size_t index = 14; index < lines.size(); ++index) {
    if (!lines[index].empty()) {
      error = at(file, index + 1) + "unexpected line after the twelve month rows";
      return false;
    }
  }
  return true;
}

}  // namespace pctlfit::plot
