#pragma once
// Two small string operations on which the report name and the column count rest.
// Their conventions are deliberate: callers depend on them.

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
