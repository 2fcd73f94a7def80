#pragma once
// One decompression library, as the decompressor drives it: a stream state and single steps.
// gzip comes from ISA-L's igzip or from zlib, zstd from libzstd or from nowhere; the build
// chooses one source file for each.

#include <cstddef>

namespace pctlfit {

struct CodecStep {
  size_t consumed = 0;
  size_t produced = 0;
  bool member_end = false;      // a gzip member or zstd frame ended, its output all given
  bool not_a_frame = false;     // zstd: the bytes start no frame (also an error)
  const char* error = nullptr;  // a damaged stream: why
};

// gzip: a state for a stream of members, made ready for the next member by gzip_member_start.
void* gzip_state_new();
void gzip_state_free(void* state);
void gzip_member_start(void* state);
CodecStep gzip_step(void* state, const unsigned char* in, size_t in_size, char* out,
                    size_t out_size);

// zstd: frames one after another. zstd_available is false in a build without the library.
bool zstd_available();
void* zstd_state_new();
void zstd_state_free(void* state);
void zstd_state_reset(void* state);  // for the next file
CodecStep zstd_step(void* state, const unsigned char* in, size_t in_size, char* out,
                    size_t out_size);

}  // namespace pctlfit
