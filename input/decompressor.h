#pragma once
// Compressed data and list files: gzip (ISA-L's igzip) and zstd, recognised by their first bytes
// and decompressed in steps, so that memory stays bounded whatever the file's size. A damaged
// stream (cut short, corrupt, a wrong checksum, bytes after the last member) is an error with a
// reason, never a short read.

#include <cstddef>
#include <memory>
#include <string>

namespace pctlfit {

enum class Compression { none, gzip, zstd };

// The longest magic number looked at.
constexpr size_t kMagicLength = 4;

// The format whose magic number `head` (a file's first bytes, up to kMagicLength) begins with;
// none for anything else, which is read as text.
Compression detect_compression(const unsigned char* head, size_t size);

// Frees a library's stream state.
struct StreamStateDeleter {
  Compression format = Compression::none;
  void operator()(void* state) const;
};

struct Decompressor {
  Compression format = Compression::none;
  std::unique_ptr<void, StreamStateDeleter> state;  // the library's stream state
  bool between_members = true;  // gzip: at a member's start (also the first one's)
  bool frame_pending = false;   // zstd: a frame has begun and not ended
  bool any_member = false;      // a member or frame has been decoded whole
  std::string error;            // why the stream is damaged
};

// Prepares `d` for a stream of `format` (not none), reusing the state of an earlier stream of
// the same format (a zstd state holds megabytes: a list of many files allocates it once). False,
// with d.error set, when the format cannot be read or there is no memory.
bool start_decompressor(Decompressor& d, Compression format);
// Ends the stream; the state is kept for the next one and freed with `d`.
void end_decompressor(Decompressor& d);

// Decompresses from in[0, in_size) into out[0, out_size): advances `in` and `in_size` past what
// was consumed and sets `produced`. Both may be 0 when more input is needed. False, with
// d.error set, on a damaged stream.
bool decompress(Decompressor& d, const unsigned char*& in, size_t& in_size, char* out,
                size_t out_size, size_t& produced);

// At the end of the file, with `left` bytes of input that decompress did not take: false, with
// d.error set, when the stream was cut short or garbage follows it.
bool finish_decompressor(Decompressor& d, size_t left);

}  // namespace pctlfit
