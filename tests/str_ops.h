#pragma once
// Two small string operations with deliberate conventions: a position of 0 means "at the start"
// as well as "nowhere", and a cut keeps an inclusive range. The column count and the report name
// follow their rules with the standard calls that say the same in one pass (input/header.cpp,
// run/output_files.cpp); the tests hold both against these, step by step.

#include <string>
#include <string_view>

namespace pctlfit {

// Offset (from 0) of the first occurrence of `pattern` in `text`; 0 when it does not occur.
// An occurrence at offset 0 and no occurrence give the same result.
int str_position(std::string_view text, std::string_view pattern);

// Keeps characters start .. start + n (both inclusive) of `buffer`, or start .. end when the
// string ends earlier. A cut end beyond the string does not shorten it. With start < 0 or
// n < 0 the buffer is left unchanged. Returns `buffer`.
std::string& str_cut(std::string& buffer, int start, int n);

}  // namespace pctlfit
