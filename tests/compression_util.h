#pragma once
// Compressed test files, made with the libraries the reader uses, so that no command-line tool is
// needed: a gzip member and a zstd frame of a text.

#include <isa-l/igzip_lib.h>
#include <zstd.h>

#include <string>
#include <vector>

namespace pctlfit::test {

inline std::string gzip_member(const std::string& text) {
  std::vector<unsigned char> out(text.size() * 2 + 1024);
  isal_zstream stream;
  isal_deflate_stateless_init(&stream);
  stream.gzip_flag = IGZIP_GZIP;
  stream.end_of_stream = 1;
  stream.next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uint32_t>(text.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uint32_t>(out.size());
  if (isal_deflate_stateless(&stream) != COMP_OK) return {};
  return std::string(reinterpret_cast<const char*>(out.data()), stream.total_out);
}

inline std::string zstd_frame(const std::string& text) {
  std::string out(ZSTD_compressBound(text.size()), '\0');
  const size_t size = ZSTD_compress(out.data(), out.size(), text.data(), text.size(), 3);
  out.resize(ZSTD_isError(size) ? 0 : size);
  return out;
}

}  // namespace pctlfit::test
