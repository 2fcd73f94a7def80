#pragma once
// Standard normal deviates for the supported percentages. These are the tool's own rounded
// constants (1.28, not 1.2816): stored reports were computed with them, so they are not to be
// replaced by computed quantiles.

#include <array>

namespace pctlfit {

enum class ZSide { lower, median, upper };

struct ZEntry {
  int key;  // percentage times ten, rounded
  double z;
  ZSide side;
};

inline constexpr std::array<ZEntry, 19> kZTable = {{
    {1, 3.1, ZSide::lower},     {2, 2.878, ZSide::lower},   {5, 2.575, ZSide::lower},
    {10, 2.325, ZSide::lower},  {20, 2.055, ZSide::lower},  {50, 1.645, ZSide::lower},
    {100, 1.28, ZSide::lower},  {200, 0.841, ZSide::lower}, {250, 0.675, ZSide::lower},
    {500, 0.0, ZSide::median},  {750, 0.675, ZSide::upper}, {800, 0.841, ZSide::upper},
    {900, 1.28, ZSide::upper},  {950, 1.645, ZSide::upper}, {980, 2.055, ZSide::upper},
    {990, 2.325, ZSide::upper}, {995, 2.575, ZSide::upper}, {998, 2.878, ZSide::upper},
    {999, 3.1, ZSide::upper},
}};

}  // namespace pctlfit
