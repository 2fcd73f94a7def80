#pragma once
// The list file: one data file name per line, the first word of the line; the rest is a comment.

#include <string>
#include <string_view>
#include <vector>

#include "input/input_error.h"

namespace pctlfit {

// The name that a list line (without its newline) gives: its first word, up to white space or
// a NUL; empty for a line without a word or whose first word begins with '#' (a comment).
std::string_view list_entry(std::string_view line);

// Reads the names of the list file at `path`, in order, and in `lines` (if given) the line of
// each, from 1. A UTF-8 byte-order mark at the start is skipped; names are kept exactly as
// written otherwise. Fails with list_cannot_open, list_cannot_read, or list_line_too_long for a
// first word longer than the longest file name the system takes (the rest of a long line, a
// comment, is skipped unread).
// `cr_line_ends` (if given) tells whether its lines end in a carriage return alone, each read
// as a line end.
InputError read_list_file(const std::string& path, std::vector<std::string>& entries,
                          std::vector<long>* lines = nullptr, bool* cr_line_ends = nullptr);

// Whether the file at `path`, given as a list, is rather a data file: its second line holds a
// tab and the lines after its third (a few are read) are records.
bool looks_like_data_file(const std::string& path);

}  // namespace pctlfit
