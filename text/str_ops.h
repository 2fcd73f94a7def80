#pragma once
// Two small string operations with deliberate conventions: a position of 0 means "at the start"
// as well as "nowhere", and a cut keeps an inclusive range. The report name is derived with them;
// the column count follows the same rules but counts in one pass of its own (input/header.h).

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
