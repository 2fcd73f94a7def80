#pragma once
// The compressed formats that data and list files may come in, one row each; a file is
// recognised by its first bytes. A new format is one row here plus one library source.

#include <cstddef>
#include <span>
#include <string_view>

#include "input/stream/codec.h"

namespace pctlfit {

struct CompressionFormat {
  std::string_view name;   // in messages: "truncated gzip stream"
  std::string_view magic;  // the first bytes of every file, and of every member, of the format
  // Members follow one another, each starting with the magic, and the library is reset for
  // each (gzip); otherwise the library reads frame after frame by itself (zstd).
  bool members_restart = false;
  // Zero bytes after the last member end the file (tape and block devices pad with them).
  bool zero_padding = false;
  const CodecLibrary* library = nullptr;
};

// The longest magic number of any format: a file's first bytes looked at to recognise it.
constexpr size_t kMagicLength = 4;

std::span<const CompressionFormat> compression_formats();

// The format whose magic `head` (a file's first bytes) begins with; nullptr for text.
const CompressionFormat* detect_compression(std::string_view head);

}  // namespace pctlfit
