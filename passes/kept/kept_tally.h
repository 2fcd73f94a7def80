#pragma once
// --sample's tally: the data pass keeps each parsed block's rows as read while they fit the
// budget (parse), and notes each cell's least and greatest value of the rows it does not keep
// (apply), which the narrowing passes start from.

#include "passes/engine/tally.h"
#include "passes/kept/kept_values.h"

namespace pctlfit {

Tally kept_tally(KeptValues& kept);

}  // namespace pctlfit
