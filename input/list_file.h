#pragma once
// The list file: one data file name per line, the first word of the line; the rest is a comment.

#include <string>
#include <string_view>
#include <vector>

#include "input/input_error.h"

namespace pctlfit {

// The names in a list file's text, in order, and in `lines` (if given) the line of each, from 1.
// Lines without a word, and lines whose first word begins with '#' (comments), are not entries.
// A UTF-8 byte-order mark at the start is skipped; names are kept exactly as written otherwise.
std::vector<std::string> parse_list_entries(std::string_view text,
                                            std::vector<long>* lines = nullptr);

// Reads and parses the list file at `path`; fails with list_cannot_open or list_cannot_read.
InputError read_list_file(const std::string& path, std::vector<std::string>& entries,
                          std::vector<long>* lines = nullptr);

}  // namespace pctlfit
