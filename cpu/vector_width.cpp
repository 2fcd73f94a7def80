#include "cpu/features.h"

namespace pctlfit {

namespace {
int g_width_limit = 64;  // written before any pass starts its threads
}  // namespace

void limit_vector_width(int bytes) { g_width_limit = bytes; }

int vector_width_limit() { return g_width_limit; }

}  // namespace pctlfit
