#pragma once
// Character classes as the C library's "C" locale defines them, without a locale lookup.

namespace pctlfit {

// White space as isspace() sees it: space, \t, \n, \v, \f, \r.
constexpr bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace pctlfit
