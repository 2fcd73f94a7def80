// gzip through zlib, where ISA-L is not built (Windows).
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "input/stream/codec.h"

namespace pctlfit {

namespace {

void* state_new() {
  auto* stream = new (std::nothrow) z_stream{};
  if (stream != nullptr && inflateInit2(stream, 16 + MAX_WBITS) != Z_OK) {  // gzip only
    delete stream;
    return nullptr;
  }
  return stream;
}

void state_free(void* state) {
  auto* stream = static_cast<z_stream*>(state);
  inflateEnd(stream);
  delete stream;
}

void reset(void* state) { inflateReset(static_cast<z_stream*>(state)); }

CodecStep step(void* state, const unsigned char* in, size_t in_size, char* out, size_t out_size) {
  auto* stream = static_cast<z_stream*>(state);
  stream->next_in = const_cast<Bytef*>(in);
  stream->avail_in = static_cast<uInt>(std::min<size_t>(in_size, 1u << 30));
  stream->next_out = reinterpret_cast<Bytef*>(out);
  stream->avail_out = static_cast<uInt>(std::min<size_t>(out_size, 1u << 30));
  const uInt offered = stream->avail_in;
  const uInt room = stream->avail_out;
  const int status = inflate(stream, Z_NO_FLUSH);
  CodecStep result;
  result.consumed = offered - stream->avail_in;
  result.produced = room - stream->avail_out;
  result.member_end = status == Z_STREAM_END;
  if (status == Z_DATA_ERROR) {
    const bool check = stream->msg != nullptr && std::strstr(stream->msg, "check") != nullptr;
    const bool header = stream->msg != nullptr && std::strstr(stream->msg, "header") != nullptr;
    result.error = check    ? "gzip checksum mismatch"
                   : header ? "corrupt gzip header"
                            : "corrupt gzip stream";
  } else if (status == Z_NEED_DICT || status == Z_MEM_ERROR || status == Z_STREAM_ERROR) {
    result.error = "corrupt gzip stream";
  }
  return result;  // Z_BUF_ERROR: no progress possible, more input is needed
}

}  // namespace

const CodecLibrary kGzipLibrary{nullptr, state_new, state_free, reset, step};

}  // namespace pctlfit
