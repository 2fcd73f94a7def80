// zstd through libzstd.
#include <zstd.h>
#include <zstd_errors.h>

#include "input/stream/codec.h"

namespace pctlfit {

namespace {

// A zstd window larger than this (128 MiB, zstd's own default limit) is refused, so that a file
// cannot make the run hold more memory than that.
constexpr int kWindowLogMax = 27;

void* state_new() {
  ZSTD_DCtx* stream = ZSTD_createDCtx();
  if (stream != nullptr) ZSTD_DCtx_setParameter(stream, ZSTD_d_windowLogMax, kWindowLogMax);
  return stream;
}

void state_free(void* state) { ZSTD_freeDCtx(static_cast<ZSTD_DCtx*>(state)); }

void reset(void* state) {
  ZSTD_DCtx_reset(static_cast<ZSTD_DCtx*>(state), ZSTD_reset_session_only);
}

CodecStep step(void* state, const unsigned char* in, size_t in_size, char* out, size_t out_size) {
  ZSTD_inBuffer input{in, in_size, 0};
  ZSTD_outBuffer output{out, out_size, 0};
  const size_t status = ZSTD_decompressStream(static_cast<ZSTD_DCtx*>(state), &output, &input);
  CodecStep result;
  result.consumed = input.pos;
  result.produced = output.pos;
  if (ZSTD_isError(status)) {
    result.error = "corrupt zstd stream";
    result.detail = ZSTD_getErrorName(status);
    result.not_a_frame = ZSTD_getErrorCode(status) == ZSTD_error_prefix_unknown;
    return result;
  }
  result.member_end = status == 0;
  return result;
}

}  // namespace

const CodecLibrary kZstdLibrary{nullptr, state_new, state_free, reset, step};

}  // namespace pctlfit
