#include "run/hints.h"

#include "input/list_file.h"
#include "platform/platform.h"
#include "text/warning_text.h"

namespace pctlfit {

namespace {

// Tabs written as \t, so that a label's tabs can be seen.
std::string shown(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\t' ? std::string("\\t") : std::string(1, c);
  return out;
}

bool opens(const std::string& path) {
  const int fd = open_for_reading(path);
  if (fd < 0) return false;
  close_for_reading(fd);
  return true;
}

}  // namespace

std::string header_label_hint(const std::string& file, const std::string& label,
                              const std::vector<std::string>& headings) {
  if (label.find('\t') == std::string::npos) return {};
  const std::string first = headings.empty() ? "" : headings.front();
  return warning_text(
      at_line(file, 2),
      "the header line's first 12 characters \"" + shown(label) +
          "\" hold a tab; they are skipped as the label of the date fields, so the first "
          "heading is \"" +
          first +
          "\" (write a label of 12 characters, such as \"YYYY MM DD H\", before the "
          "first tab)");
}

std::string list_file_hint(const std::string& list_name) {
  return "pctlfit: " + list_name +
         " is the list file, the first argument: a text file that names one data file per "
         "line\n";
}

std::string data_file_as_list_hint(const std::string& list_name,
                                   const std::vector<std::string>& entries) {
  if (entries.empty() || opens(entries.front()) || !looks_like_data_file(list_name)) return {};
  return "pctlfit: " + list_name +
         " looks like a data file; the first argument names a list of data files, one per "
         "line (such as a file runs.txt holding \"" +
         list_name + "\")\n";
}

std::string beside_the_list_hint(const std::string& list_name, const std::string& entry) {
  size_t folder_end = list_name.size();
  while (folder_end > 0 && !is_path_separator(list_name[folder_end - 1])) --folder_end;
  if (folder_end == 0 || entry.empty() || is_path_separator(entry.front())) return {};
  const std::string beside = list_name.substr(0, folder_end) + entry;
  if (!opens(beside)) return {};
  return "pctlfit: " + entry + " does not open here, but " + beside +
         " does: names in a list are relative to the folder pctlfit runs in, not to the "
         "list's folder\n";
}

}  // namespace pctlfit
