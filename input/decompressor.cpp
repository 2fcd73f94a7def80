#include "input/decompressor.h"

#include <isa-l/igzip_lib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace pctlfit {

namespace {

constexpr unsigned char kGzipMagic[] = {0x1f, 0x8b};
constexpr unsigned char kZstdMagic[] = {0x28, 0xb5, 0x2f, 0xfd};
// A zstd window larger than this (128 MiB, zstd's own default limit) is refused, so that a file
// cannot make the run hold more memory than that.
constexpr int kZstdWindowLogMax = 27;

// igzip's AVX-512 code returns with the upper halves of the vector registers in use. The SSE code
// that parses and takes logarithms after it then runs several times slower (every instruction
// waits for the whole register: 117 ms instead of 26 ms for one 3.75 MB file), so the state is
// cleared after each call into a decompression library.
void clear_upper_vector_state() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) asm volatile("vzeroupper" ::: "memory");
#endif
}

const char* gzip_problem(int code) {
  switch (code) {
    case ISAL_INCORRECT_CHECKSUM:
      return "gzip checksum mismatch";
    case ISAL_INVALID_WRAPPER:
    case ISAL_UNSUPPORTED_METHOD:
      return "corrupt gzip header";
    default:
      return "corrupt gzip stream";
  }
}

// One gzip member after another: each starts with the magic number, or the rest is garbage.
bool decompress_gzip(Decompressor& d, const unsigned char*& in, size_t& in_size, char* out,
                     size_t out_size, size_t& produced) {
  auto* state = static_cast<inflate_state*>(d.state.get());
  produced = 0;
  while (produced < out_size && in_size > 0) {
    if (d.between_members) {
      if (in[0] != kGzipMagic[0] || (in_size > 1 && in[1] != kGzipMagic[1])) {
        d.error = d.any_member ? "trailing garbage after gzip stream" : "corrupt gzip header";
        return false;
      }
      if (in_size < 2) return true;  // the magic number's second byte is still to come
      isal_inflate_reset(state);
      state->crc_flag = ISAL_GZIP;
      d.between_members = false;
    }
    state->next_in = const_cast<uint8_t*>(in);
    state->avail_in = static_cast<uint32_t>(std::min<size_t>(in_size, UINT32_MAX));
    state->next_out = reinterpret_cast<uint8_t*>(out + produced);
    state->avail_out = static_cast<uint32_t>(std::min<size_t>(out_size - produced, UINT32_MAX));
    const uint32_t offered = state->avail_in;
    const uint32_t room = state->avail_out;
    const int status = isal_inflate(state);
    clear_upper_vector_state();
    if (status < 0) {
      d.error = gzip_problem(status);
      return false;
    }
    const size_t consumed = offered - state->avail_in;
    in += consumed;
    in_size -= consumed;
    produced += room - state->avail_out;
    if (state->block_state == ISAL_BLOCK_FINISH) {
      d.between_members = true;
      d.any_member = true;
    } else if (consumed == 0 && room == state->avail_out) {
      break;  // needs more input
    }
  }
  return true;
}

// zstd decodes one frame after another by itself; bytes that start no frame are garbage.
bool decompress_zstd(Decompressor& d, const unsigned char*& in, size_t& in_size, char* out,
                     size_t out_size, size_t& produced) {
  auto* stream = static_cast<ZSTD_DCtx*>(d.state.get());
  // Between frames without input there is nothing to flush, and a call would only ask for the
  // next frame's header.
  if (in_size == 0 && !d.frame_pending) return true;
  ZSTD_inBuffer input{in, in_size, 0};
  ZSTD_outBuffer output{out, out_size, 0};
  do {
    const size_t result = ZSTD_decompressStream(stream, &output, &input);
    clear_upper_vector_state();
    if (ZSTD_isError(result)) {
      const bool garbage = ZSTD_getErrorCode(result) == ZSTD_error_prefix_unknown && d.any_member &&
                           !d.frame_pending;
      d.error = garbage ? "trailing garbage after zstd stream"
                        : std::string("corrupt zstd stream (") + ZSTD_getErrorName(result) + ")";
      return false;
    }
    d.frame_pending = result != 0;
    if (result == 0) d.any_member = true;
  } while (output.pos < output.size && input.pos < input.size);
  in += input.pos;
  in_size -= input.pos;
  produced = output.pos;
  return true;
}

}  // namespace

Compression detect_compression(const unsigned char* head, size_t size) {
  if (size >= 2 && std::equal(kGzipMagic, kGzipMagic + 2, head)) return Compression::gzip;
  if (size >= 4 && std::equal(kZstdMagic, kZstdMagic + 4, head)) return Compression::zstd;
  return Compression::none;
}

void StreamStateDeleter::operator()(void* state) const {
  if (format == Compression::gzip) delete static_cast<inflate_state*>(state);
  if (format == Compression::zstd) ZSTD_freeDCtx(static_cast<ZSTD_DCtx*>(state));
}

bool start_decompressor(Decompressor& d, Compression format) {
  d = Decompressor{};
  d.format = format;
  void* state = nullptr;
  if (format == Compression::gzip) {
    auto* inflate = new (std::nothrow) inflate_state;
    if (inflate != nullptr) isal_inflate_init(inflate);
    state = inflate;
  } else if (format == Compression::zstd) {
    ZSTD_DCtx* stream = ZSTD_createDCtx();
    if (stream != nullptr) ZSTD_DCtx_setParameter(stream, ZSTD_d_windowLogMax, kZstdWindowLogMax);
    state = stream;
  }
  d.state = std::unique_ptr<void, StreamStateDeleter>(state, StreamStateDeleter{format});
  return state != nullptr;
}

void end_decompressor(Decompressor& d) { d = Decompressor{}; }

bool decompress(Decompressor& d, const unsigned char*& in, size_t& in_size, char* out,
                size_t out_size, size_t& produced) {
  produced = 0;
  if (d.format == Compression::gzip)
    return decompress_gzip(d, in, in_size, out, out_size, produced);
  return decompress_zstd(d, in, in_size, out, out_size, produced);
}

bool finish_decompressor(Decompressor& d, size_t left) {
  const bool cut = d.format == Compression::gzip ? !d.between_members : d.frame_pending;
  if (cut || !d.any_member) {
    d.error = d.format == Compression::gzip ? "truncated gzip stream" : "truncated zstd stream";
    return false;
  }
  if (left > 0) {
    d.error = d.format == Compression::gzip ? "trailing garbage after gzip stream"
                                            : "trailing garbage after zstd stream";
    return false;
  }
  return true;
}

}  // namespace pctlfit
