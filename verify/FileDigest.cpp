#include "verify/FileDigest.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <openssl/evp.h>
#include <vector>

namespace {

constexpr qint64 kChunkBytes = qint64(4) << 20;

} // namespace

std::optional<QString> sha256OfFile(const QString &path, std::stop_token stop) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    std::vector<char> chunk(kChunkBytes);
    for (;;) {
        if (stop.stop_requested())
            return std::nullopt;
        const qint64 read = file.read(chunk.data(), kChunkBytes);
        if (read < 0)
            return std::nullopt;
        if (read == 0)
            break;
        if (EVP_DigestUpdate(context.get(), chunk.data(), size_t(read)) != 1)
            return std::nullopt;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return std::nullopt;
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex());
}

QString sha256sumLine(const QString &sha256, const QString &path) {
    return sha256 + "  " + QFileInfo(path).fileName() + "\n";
}
