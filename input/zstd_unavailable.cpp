// A build without libzstd (Windows): zstd files are recognised and refused, never read as text.
#include "input/codec.h"

namespace pctlfit {

bool zstd_available() { return false; }
void* zstd_state_new() { return nullptr; }
void zstd_state_free(void*) {}
void zstd_state_reset(void*) {}
CodecStep zstd_step(void*, const unsigned char*, size_t, char*, size_t) {
  CodecStep step;
  step.error = "zstd files cannot be read by this build";
  return step;
}

}  // namespace pctlfit
