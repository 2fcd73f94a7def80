// The decompressors alone, on the same files the run reads: each file is read into memory, then
// decompressed into one 1 MiB buffer, again and again, and nothing else is done with the text.
// Prints MB/s of decompressed text per library, for the gzip files with zlib and with ISA-L's
// igzip, for the zstd files with libzstd.
//   decompress_bench FILE...
#include <isa-l/igzip_lib.h>
#include <zlib.h>
#include <zstd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
constexpr size_t kOut = 1 << 20;

Bytes read_all(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Each returns the decompressed size, or 0 on an error.
size_t with_zlib(const Bytes& in, Bytes& out) {
  z_stream z{};
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return 0;
  z.next_in = const_cast<Bytes::value_type*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  size_t total = 0;
  for (int status = Z_OK; status != Z_STREAM_END;) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) return 0;
    total += out.size() - z.avail_out;
    if (status == Z_STREAM_END && z.avail_in > 0) status = inflateReset(&z);  // next member
  }
  inflateEnd(&z);
  return total;
}

size_t with_igzip(const Bytes& in, Bytes& out) {
  static inflate_state state;
  isal_inflate_init(&state);
  state.crc_flag = ISAL_GZIP;
  state.next_in = const_cast<Bytes::value_type*>(in.data());
  state.avail_in = static_cast<uint32_t>(in.size());
  size_t total = 0;
  while (state.block_state != ISAL_BLOCK_FINISH) {
    state.next_out = out.data();
    state.avail_out = static_cast<uint32_t>(out.size());
    if (isal_inflate(&state) != ISAL_DECOMP_OK) return 0;
    total += out.size() - state.avail_out;
  }
  return total;
}

size_t with_zstd(const Bytes& in, Bytes& out) {
  static ZSTD_DCtx* stream = ZSTD_createDCtx();
  ZSTD_DCtx_reset(stream, ZSTD_reset_session_only);
  ZSTD_inBuffer input{in.data(), in.size(), 0};
  size_t total = 0;
  while (input.pos < input.size) {
    ZSTD_outBuffer output{out.data(), out.size(), 0};
    if (ZSTD_isError(ZSTD_decompressStream(stream, &output, &input))) return 0;
    total += output.pos;
  }
  return total;
}

void measure(const char* name, size_t (*decompress)(const Bytes&, Bytes&),
             const std::vector<Bytes>& files) {
  Bytes out(kOut);
  double best = 0;
  size_t total = 0;
  for (int round = 0; round < 3; ++round) {
    const auto start = std::chrono::steady_clock::now();
    total = 0;
    for (const Bytes& file : files) total += decompress(file, out);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (total > 0 && static_cast<double>(total) / seconds > best)
      best = static_cast<double>(total) / seconds;
  }
  std::printf("%-8s %8.1f MB/s of text (%zu bytes, best of 3)\n", name, best / 1e6, total);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Bytes> gzip_files, zstd_files;
  for (int i = 1; i < argc; ++i) {
    Bytes file = read_all(argv[i]);
    if (file.size() >= 2 && file[0] == 0x1f && file[1] == 0x8b)
      gzip_files.push_back(std::move(file));
    else if (file.size() >= 4 && file[0] == 0x28 && file[1] == 0xb5)
      zstd_files.push_back(std::move(file));
  }
  if (!gzip_files.empty()) {
    measure("zlib", with_zlib, gzip_files);
    measure("igzip", with_igzip, gzip_files);
  }
  if (!zstd_files.empty()) measure("zstd", with_zstd, zstd_files);
  return 0;
}
