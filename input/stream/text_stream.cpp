#include "input/stream/text_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cpu/features.h"
#include "platform/platform.h"

namespace pctlfit {

namespace {

// Compressed bytes read at a time: enough for a library step to run long, small beside a block.
constexpr size_t kPackedSize = 128 * 1024;

int64_t fail_stream(TextStream& stream, std::string why) {
  stream.problem = std::move(why);
  stream.read_errno = EILSEQ;
  return -1;
}

std::string named(const TextStream& stream, const char* what) {
  return std::string(what) + " " + std::string(stream.format->name) + " stream";
}

// More bytes from the file behind those not yet passed on. False on a read error.
bool read_file(TextStream& stream) {
  std::vector<unsigned char>& packed = stream.packed;
  if (packed.size() < kPackedSize) packed.resize(kPackedSize);
  const size_t left = stream.packed_end - stream.packed_begin;
  std::memmove(packed.data(), packed.data() + stream.packed_begin, left);
  stream.packed_begin = 0;
  stream.packed_end = left;
  const int64_t got = read_some(stream.fd, packed.data() + left, packed.size() - left);
  if (got < 0) {
    stream.read_errno = errno != 0 ? errno : EIO;
    return false;
  }
  stream.bytes_read += static_cast<uint64_t>(got);
  stream.packed_end += static_cast<size_t>(got);
  if (got == 0) stream.file_end = true;
  return true;
}

// The library for the file's format, with a state ready for a new stream. False, with the
// reason kept, when the build cannot read the format or there is no memory.
bool start_library(TextStream& stream) {
  const CodecLibrary* library = stream.format->library;
  if (library->unreadable != nullptr) return fail_stream(stream, library->unreadable) >= 0;
  if (!stream.state || stream.state.get_deleter().library != library) {
    stream.state.reset();
    void* state = library->state_new();
    if (state == nullptr) return fail_stream(stream, "no memory for decompression") >= 0;
    stream.state = std::unique_ptr<void, CodecStateDeleter>(state, CodecStateDeleter{library});
  }
  return true;
}

int64_t read_plain(TextStream& stream, char* to, size_t want) {
  if (stream.packed_begin < stream.packed_end) {  // the first bytes, read to recognise the file
    const size_t n = std::min(want, stream.packed_end - stream.packed_begin);
    std::memcpy(to, stream.packed.data() + stream.packed_begin, n);
    stream.packed_begin += n;
    return static_cast<int64_t>(n);
  }
  if (stream.file_end) return 0;
  const int64_t got = read_some(stream.fd, to, want);
  if (got < 0) stream.read_errno = errno != 0 ? errno : EIO;
  if (got > 0) stream.bytes_read += static_cast<uint64_t>(got);
  return got;
}

enum class MemberStart { ready, need_input, end, failed };

// At a member's start: zero padding after the last member, the end of the file, or the next
// member, whose magic number is checked and for which the library is reset where it must be.
MemberStart begin_member(TextStream& stream) {
  const CompressionFormat& format = *stream.format;
  const unsigned char* in = stream.packed.data() + stream.packed_begin;
  size_t in_size = stream.packed_end - stream.packed_begin;
  if (stream.any_member && format.zero_padding) {
    const size_t zeros = static_cast<size_t>(
        std::find_if(in, in + in_size, [](unsigned char c) { return c != 0; }) - in);
    stream.in_padding = stream.in_padding || zeros > 0;
    stream.packed_begin += zeros;
    in += zeros;
    in_size -= zeros;
  }
  if (in_size == 0) {
    if (!stream.file_end) return MemberStart::need_input;
    if (stream.any_member) return MemberStart::end;
    fail_stream(stream, named(stream, "truncated"));
    return MemberStart::failed;
  }
  if (stream.in_padding) {
    fail_stream(stream, named(stream, "trailing garbage after"));
    return MemberStart::failed;
  }
  if (stream.any_member && !format.members_restart) return MemberStart::ready;
  if (in_size < format.magic.size() && !stream.file_end) return MemberStart::need_input;
  const std::string_view head(reinterpret_cast<const char*>(in), in_size);
  if (!head.starts_with(format.magic)) {
    fail_stream(stream, stream.any_member ? named(stream, "trailing garbage after")
                                          : "corrupt " + std::string(format.name) + " header");
    return MemberStart::failed;
  }
  format.library->reset(stream.state.get());
  return MemberStart::ready;
}

// The reason for a library's error; bytes that start no frame where one may start are garbage.
std::string step_error(const TextStream& stream, const CodecStep& step) {
  if (step.not_a_frame && stream.at_member_start && stream.any_member)
    return named(stream, "trailing garbage after");
  std::string why = step.error;
  if (step.detail != nullptr) why.append(" (").append(step.detail).append(")");
  return why;
}

int64_t read_compressed(TextStream& stream, char* to, size_t want) {
  const CodecLibrary& library = *stream.format->library;
  size_t produced = 0;
  while (produced < want) {
    if (stream.at_member_start) {
      const MemberStart start = begin_member(stream);
      if (start == MemberStart::failed) return -1;
      if (start == MemberStart::end) break;
      if (start == MemberStart::need_input) {
        if (produced > 0) break;
        if (!read_file(stream)) return -1;
        continue;
      }
    }
    const CodecStep step =
        library.step(stream.state.get(), stream.packed.data() + stream.packed_begin,
                     stream.packed_end - stream.packed_begin, to + produced, want - produced);
    // igzip's AVX-512 code returns with the upper halves of the vector registers in use; the
    // SSE code that parses and takes logarithms after it then ran several times slower (117 ms
    // instead of 26 ms for one 3.75 MB file).
    clear_upper_vector_state();
    stream.packed_begin += step.consumed;
    produced += step.produced;
    if (step.error != nullptr) return fail_stream(stream, step_error(stream, step));
    if (step.member_end) stream.any_member = true;
    const bool progress = step.consumed > 0 || step.produced > 0;
    if (progress || step.member_end) stream.at_member_start = step.member_end;
    if (progress || step.member_end) continue;
    // No progress: the library needs input.
    if (produced > 0) break;
    if (stream.file_end) return fail_stream(stream, named(stream, "truncated"));
    if (stream.packed_begin == 0 && stream.packed_end == stream.packed.size())
      return fail_stream(stream, named(stream, "corrupt"));  // a full buffer and still no step
    if (!read_file(stream)) return -1;
  }
  return static_cast<int64_t>(produced);
}

// The text's encoding when its first bytes show it as UTF-16 or UTF-32 (a spreadsheet's "Unicode
// text"): by its byte-order mark, or by NUL bytes between the first characters; else nullptr.
const char* wide_encoding(std::string_view head) {
  if (head.starts_with(std::string_view("\xFF\xFE\0\0", 4))) return "UTF-32";
  if (head.starts_with(std::string_view("\0\0\xFE\xFF", 4))) return "UTF-32";
  if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) return "UTF-16";
  // Without a mark: a NUL after every character (UTF-16) or three (UTF-32), little or big endian.
  const auto nul = [&](size_t i) { return i < head.size() && head[i] == '\0'; };
  const auto text = [&](size_t i) { return i < head.size() && head[i] != '\0'; };
  if ((text(0) && nul(1) && text(2) && nul(3)) || (nul(0) && text(1) && nul(2) && text(3))) {
    return "UTF-16";
  }
  if ((text(0) && nul(1) && nul(2) && nul(3) && text(4)) ||
      (nul(0) && nul(1) && nul(2) && text(3) && nul(4) && nul(5) && nul(6) && text(7))) {
    return "UTF-32";
  }
  return nullptr;
}

}  // namespace

bool open_text_stream(TextStream& stream, const std::string& path) {
  close_text_stream(stream);
  // The buffer and the library state are kept: a list of many files allocates them once.
  std::vector<unsigned char> packed = std::move(stream.packed);
  auto state = std::move(stream.state);
  stream = TextStream{};
  stream.packed = std::move(packed);
  stream.state = std::move(state);
  stream.fd = open_for_reading(path);
  if (stream.fd < 0) {
    stream.open_errno = errno;
    return false;
  }
  if (is_device(stream.fd)) {
    close_for_reading(stream.fd);
    stream.fd = -1;
    stream.open_errno = ENODEV;
    stream.problem = "a device, not a file of records";
    return false;
  }
  while (stream.packed_end < kMagicLength && !stream.file_end) {
    if (!read_file(stream)) return true;  // kept for the first read
  }
  const std::string_view head(reinterpret_cast<const char*>(stream.packed.data()),
                              stream.packed_end);
  stream.format = detect_compression(head);
  if (stream.format != nullptr) start_library(stream);  // a failure is kept for the first read
  if (const char* encoding = stream.format == nullptr ? wide_encoding(head) : nullptr) {
    fail_stream(stream, std::string(encoding) + " text: save it as UTF-8");
  }
  return true;
}

void close_text_stream(TextStream& stream) {
  if (stream.fd >= 0) close_for_reading(stream.fd);
  stream.fd = -1;
}

int64_t read_text(TextStream& stream, char* to, size_t want) {
  if (stream.read_errno != 0) return -1;
  if (stream.format == nullptr) return read_plain(stream, to, want);
  return read_compressed(stream, to, want);
}

}  // namespace pctlfit
