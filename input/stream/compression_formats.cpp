#include "input/stream/compression_formats.h"

namespace pctlfit {

namespace {
constexpr std::string_view kGzipMagic("\x1f\x8b", 2);
constexpr std::string_view kZstdMagic("\x28\xb5\x2f\xfd", 4);

const CompressionFormat kFormats[] = {
    {"gzip", kGzipMagic, true, true, &kGzipLibrary},
    {"zstd", kZstdMagic, false, false, &kZstdLibrary},
};
}  // namespace

std::span<const CompressionFormat> compression_formats() { return kFormats; }

const CompressionFormat* detect_compression(std::string_view head) {
  for (const CompressionFormat& format : kFormats) {
    if (head.starts_with(format.magic)) return &format;
  }
  return nullptr;
}

}  // namespace pctlfit
