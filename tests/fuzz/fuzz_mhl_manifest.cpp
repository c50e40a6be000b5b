// Arbitrary bytes as a manifest and as a chain file of an ASC MHL history: reading must never crash, and
// whatever reads as a manifest must read back the same once written again.

#include "mhl/Chain.h"
#include "mhl/Manifest.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    QString error;
    if (const std::optional<mhl::Generation> generation = mhl::readManifest(bytes, error)) {
        const QByteArray again = mhl::manifestXml(*generation);
        const std::optional<mhl::Generation> reread = mhl::readManifest(again, error);
        if (!reread || reread->files.size() != generation->files.size() || mhl::manifestXml(*reread) != again)
            std::abort();
    }
    (void)mhl::readChain(bytes, error);
    return 0;
}
