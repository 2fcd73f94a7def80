#pragma once

namespace pctlfit {

// The process's exit statuses; scripts rely on them.
enum ExitStatus : int {
  kExitOk = 0,
  kExitUsage = 1,
  kExitInput = 2,           // an input file cannot be opened or read
  kExitHeaderTooShort = 3,  // the column header line is too short (or beyond the longest taken)
  kExitReport = 4,          // the report cannot be opened or written
  kExitStrict = 5,          // --strict: warnings about the input were given
  kExitNothingPooled = 6,   // the data pass pooled no value at all
};

}  // namespace pctlfit
