#pragma once
// Compressed test files, made with the libraries, so that no command-line tool is needed: a gzip
// member (zlib) and, where the build has libzstd, a zstd frame of a text.

#include <zlib.h>

#include <string>

#ifdef PCTLFIT_TESTS_HAVE_ZSTD
#include <zstd.h>
#endif

namespace pctlfit::test {

inline std::string gzip_member(const std::string& text) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return {};
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
  out.resize(done ? stream.total_out : 0);
  deflateEnd(&stream);
  return out;
}

#ifdef PCTLFIT_TESTS_HAVE_ZSTD
constexpr bool kHaveZstd = true;
inline std::string zstd_frame(const std::string& text) {
  std::string out(ZSTD_compressBound(text.size()), '\0');
  const size_t size = ZSTD_compress(out.data(), out.size(), text.data(), text.size(), 3);
  out.resize(ZSTD_isError(size) ? 0 : size);
  return out;
}
#else
constexpr bool kHaveZstd = false;  // the build reads no zstd: its files are only refused
inline std::string zstd_frame(const std::string&) { return "\x28\xb5\x2f\xfd not a real frame"; }
#endif

}  // namespace pctlfit::test
