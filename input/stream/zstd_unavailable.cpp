// A build without libzstd (Windows): zstd files are recognised and refused, never read as text.
#include "input/stream/codec.h"

namespace pctlfit {

const CodecLibrary kZstdLibrary{
    "a zstd file, which this build of pctlfit cannot read (it reads gzip); unpack it with zstd -d",
    nullptr, nullptr, nullptr, nullptr};

}  // namespace pctlfit
