#pragma once
// Number reading as the C library's scans read numbers, on a line in memory: leading white space
// is skipped, the number is the longest prefix that converts. Never reads past `end`, never
// allocates for ordinary numbers, no locale.

namespace pctlfit {

// Like "%d": optional sign and decimal digits. The value saturates instead of overflowing.
// Returns the position after the number, or nullptr when no integer starts there.
const char* scan_integer(const char* pos, const char* end, long long& value);

// Like "%lf" and strtod: decimal or exponent notation, "inf", "infinity", "nan", hexadecimal,
// with an optional sign; out of range gives ±inf or a (sub)normal or zero, as strtod does.
// Returns the position after the number, or nullptr when no number starts there.
const char* scan_double(const char* pos, const char* end, double& value);

}  // namespace pctlfit
