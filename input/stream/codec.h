#pragma once
// One decompression library as the decompressing stream drives it: a stream state and single
// steps. Each library source (gzip through ISA-L's igzip or zlib, zstd through libzstd or a
// stand-in that refuses) defines one CodecLibrary; the build chooses one source per format.

#include <cstddef>

namespace pctlfit {

struct CodecStep {
  size_t consumed = 0;
  size_t produced = 0;
  bool member_end = false;       // a member or frame ended, its output all given
  bool not_a_frame = false;      // the bytes start no member or frame (also an error)
  const char* error = nullptr;   // a damaged stream: why ("corrupt zstd stream")
  const char* detail = nullptr;  // the library's own word for it, if any
};

struct CodecLibrary {
  // Why this build cannot read the format, for the message; nullptr when it can.
  const char* unreadable = nullptr;
  void* (*state_new)() = nullptr;  // nullptr when there is no memory
  void (*state_free)(void* state) = nullptr;
  void (*reset)(void* state) = nullptr;  // ready for a new stream, or for the next member
  // Decompresses from in[0, in_size) into out[0, out_size); both may be 0 (more input needed).
  CodecStep (*step)(void* state, const unsigned char* in, size_t in_size, char* out,
                    size_t out_size) = nullptr;
};

extern const CodecLibrary kGzipLibrary;
extern const CodecLibrary kZstdLibrary;

}  // namespace pctlfit
