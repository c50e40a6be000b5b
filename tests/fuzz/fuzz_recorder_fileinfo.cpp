// Arbitrary bytes as a file-information reply: decoding must never read past them nor fail otherwise
// than by returning no record for a short reply.

#include "recorder/FileInfoDecoding.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::optional<SRFileInfo> info = decodeFileInfo(data, size, QStringLiteral("FUZZ/PATH"));
    if (info.has_value() != (size >= kFileInfoReplyMinimumLength))
        std::abort();
    return 0;
}
