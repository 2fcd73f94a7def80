#pragma once
// Hints for the slips of a person who writes the inputs by hand, on standard error: what was
// read, and what was expected. They never change standard output, the report or the status.

#include <string>
#include <vector>

namespace pctlfit {

// The header line's first 12 characters, skipped as the label of the date fields, hold a tab:
// the first heading is not the one its writer meant. Empty when they hold none.
std::string header_label_hint(const std::string& file, const std::string& label,
                              const std::vector<std::string>& headings);

// After "error opening script file": which argument that is.
std::string list_file_hint(const std::string& list_name);

// The list file is rather a data file: its first entry does not open, and it looks like one
// (see looks_like_data_file). Empty otherwise.
std::string data_file_as_list_hint(const std::string& list_name,
                                   const std::vector<std::string>& entries);

// A listed name that does not open from the working folder, but would beside the list file;
// empty otherwise.
std::string beside_the_list_hint(const std::string& list_name, const std::string& entry);

}  // namespace pctlfit
