#include "input/file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "input/platform.h"

namespace pctlfit {

namespace {

constexpr size_t kReadStep = 64 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr size_t kPackedStep = 128 * 1024;

// Reads up to `want` bytes of the file to `to`; the count, 0 at its end, -1 on an error.
int64_t read_file_bytes(FileReader& reader, void* to, size_t want) {
  const int64_t got = read_some(reader.fd, to, want);
  if (got < 0) {
    reader.read_errno = errno != 0 ? errno : EIO;
    return -1;
  }
  reader.bytes_read += static_cast<uint64_t>(got);
  return got;
}

// More compressed bytes: what is left moves to the front first. False on a read error.
bool read_packed(FileReader& reader) {
  std::vector<unsigned char>& packed = reader.packed;
  std::memmove(packed.data(), packed.data() + reader.packed_begin,
               reader.packed_end - reader.packed_begin);
  reader.packed_end -= reader.packed_begin;
  reader.packed_begin = 0;
  if (packed.size() < reader.packed_end + kPackedStep)
    packed.resize(reader.packed_end + kPackedStep);
  const int64_t got = read_file_bytes(reader, packed.data() + reader.packed_end, kPackedStep);
  if (got < 0) return false;
  reader.packed_end += static_cast<size_t>(got);
  if (got == 0) reader.packed_eof = true;
  return true;
}

void fail_stream(FileReader& reader) {
  reader.read_problem = reader.decompressor.error;
  reader.read_errno = EILSEQ;
}

// Appends up to `want` decompressed bytes to the pending data; reads compressed bytes as the
// decompressor needs them. False at the end of the stream or on an error.
bool fill_decompressed(FileReader& reader, size_t want) {
  for (;;) {
    const unsigned char* in = reader.packed.data() + reader.packed_begin;
    size_t in_size = reader.packed_end - reader.packed_begin;
    size_t produced = 0;
    const bool ok = decompress(reader.decompressor, in, in_size, reader.buffer.data() + reader.end,
                               want, produced);
    const size_t consumed = reader.packed_end - reader.packed_begin - in_size;
    reader.packed_begin += consumed;
    reader.end += produced;
    if (!ok) {
      fail_stream(reader);
      return false;
    }
    if (produced > 0) return true;
    if (consumed > 0) continue;
    if (!reader.packed_eof) {
      if (!read_packed(reader)) return false;
      continue;
    }
    if (!finish_decompressor(reader.decompressor, in_size)) {
      fail_stream(reader);
      return false;
    }
    reader.at_eof = true;
    return false;
  }
}

// Appends up to `want` bytes to the pending data. False at the end of the file or on an error.
bool fill(FileReader& reader, size_t want) {
  if (reader.at_eof || reader.read_errno != 0) return false;
  if (reader.buffer.size() < reader.end + want) reader.buffer.resize(reader.end + want);
  if (reader.decompressor.format != Compression::none) return fill_decompressed(reader, want);
  const int64_t got = read_file_bytes(reader, reader.buffer.data() + reader.end, want);
  if (got < 0) return false;
  reader.end += static_cast<size_t>(got);
  if (got == 0) reader.at_eof = true;
  return got > 0;
}

// Reads the file's first bytes; a compressed file's go to the decompressor, a text file's stay
// pending. False on a read error or when the decompressor cannot start.
bool recognise_compression(FileReader& reader) {
  while (reader.end < kMagicLength && fill(reader, kReadStep)) {
  }
  if (reader.read_errno != 0) return false;
  const auto* head = reinterpret_cast<const unsigned char*>(reader.buffer.data());
  const Compression format = detect_compression(head, reader.end);
  if (format == Compression::none) {
    reader.at_eof = false;  // a short text file's end is found again by the next read
    return true;
  }
  reader.packed.assign(head, head + reader.end);
  reader.packed_begin = 0;
  reader.packed_end = reader.end;
  reader.packed_eof = reader.at_eof;
  reader.at_eof = false;
  reader.end = 0;
  if (!start_decompressor(reader.decompressor, format)) {
    fail_stream(reader);
    return false;
  }
  return true;
}

// Moves the pending bytes to the front, so that the buffer does not grow with the file.
void compact(FileReader& reader) {
  if (reader.begin == 0) return;
  std::memmove(reader.buffer.data(), reader.buffer.data() + reader.begin,
               reader.end - reader.begin);
  reader.end -= reader.begin;
  reader.begin = 0;
}

// Offset of the first newline in buffer[from, end), or npos.
size_t find_newline(const FileReader& reader, size_t from) {
  const void* found = std::memchr(reader.buffer.data() + from, '\n', reader.end - from);
  return found == nullptr
             ? std::string::npos
             : static_cast<size_t>(static_cast<const char*>(found) - reader.buffer.data());
}

// Offset of the last newline in buffer[0, end), or npos. It is near the end, one line back.
size_t find_last_newline(const FileReader& reader) {
  return std::string_view(reader.buffer.data(), reader.end).rfind('\n');
}

}  // namespace

bool open_file_reader(FileReader& reader, const std::string& path) {
  close_file_reader(reader);
  // The buffers are kept: a list of many files reuses one allocation each.
  std::string buffer = std::move(reader.buffer);
  std::vector<unsigned char> packed = std::move(reader.packed);
  Decompressor decompressor = std::move(reader.decompressor);
  reader = FileReader{};
  reader.buffer = std::move(buffer);
  reader.packed = std::move(packed);
  reader.decompressor = std::move(decompressor);
  reader.fd = open_for_reading(path);
  if (reader.fd < 0) {
    reader.open_errno = errno;
    return false;
  }
  recognise_compression(reader);  // a failure is kept in read_errno for the first read
  return true;
}

void close_file_reader(FileReader& reader) {
  if (reader.fd >= 0) close_for_reading(reader.fd);
  reader.fd = -1;
  end_decompressor(reader.decompressor);
}

bool read_line(FileReader& reader, std::string& line, bool& had_newline) {
  size_t newline = find_newline(reader, reader.begin);
  while (newline == std::string::npos) {
    const size_t searched = reader.end - reader.begin;
    compact(reader);
    if (!fill(reader, kReadStep)) break;
    newline = find_newline(reader, searched);
  }
  if (reader.read_errno != 0) return false;
  if (newline == std::string::npos && reader.begin == reader.end) return false;
  had_newline = newline != std::string::npos;
  const size_t line_end = had_newline ? newline : reader.end;
  line.assign(reader.buffer, reader.begin, line_end - reader.begin);
  reader.begin = had_newline ? line_end + 1 : line_end;
  if (had_newline && !line.empty() && line.back() == '\r') line.pop_back();
  if (reader.lines_read == 0 && line.starts_with(kByteOrderMark))
    line.erase(0, kByteOrderMark.size());
  ++reader.lines_read;
  return true;
}

bool read_block(FileReader& reader, std::string& block, size_t& length, size_t block_size) {
  compact(reader);
  // Reads grow from 64 KiB to the block size, so that a small file needs no large buffer.
  while (reader.end < block_size &&
         fill(reader, std::min(block_size - reader.end, std::max(kReadStep, reader.end)))) {
  }
  if (reader.read_errno != 0) return false;
  size_t last_newline = find_last_newline(reader);
  // A line longer than the block: read on until it ends.
  while (last_newline == std::string::npos && !reader.at_eof) {
    const size_t searched = reader.end;
    if (!fill(reader, reader.end + kReadStep)) {
      if (reader.read_errno != 0) return false;
      break;
    }
    if (find_newline(reader, searched) != std::string::npos)
      last_newline = find_last_newline(reader);
  }
  if (reader.end == 0) return false;
  const size_t cut = last_newline == std::string::npos ? reader.end : last_newline + 1;
  // The block takes the buffer; the reader goes on in the block's old storage with the rest.
  block.swap(reader.buffer);
  length = cut;
  const size_t rest = reader.end - cut;
  if (reader.buffer.size() < rest) reader.buffer.resize(rest);
  std::memcpy(reader.buffer.data(), block.data() + cut, rest);
  reader.end = rest;
  return true;
}

bool read_whole_file(const std::string& path, std::string& text, bool& opened, int& error_number,
                     std::string& problem) {
  FileReader reader;
  opened = open_file_reader(reader, path);
  error_number = reader.open_errno;
  if (!opened) return false;
  while (fill(reader, kReadStep)) {
  }
  const bool ok = reader.read_errno == 0;
  error_number = reader.read_errno;
  problem = reader.read_problem;
  reader.buffer.resize(reader.end);
  text.swap(reader.buffer);
  close_file_reader(reader);
  return ok;
}

}  // namespace pctlfit
