#include "verify/FileDigest.h"

#include "verify/FileVerification.h"

#include <QFileInfo>
#include <openssl/evp.h>
#include <xxhash.h>

namespace {

class EvpDigest : public WholeFileDigest {
public:
    explicit EvpDigest(const EVP_MD *algorithm) : context(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
        healthy = context && EVP_DigestInit_ex(context.get(), algorithm, nullptr) == 1;
    }
    void update(std::span<const uint8_t> bytes) override {
        healthy = healthy && EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) == 1;
    }
    std::optional<QString> result() override {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!healthy || EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
            return std::nullopt;
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex());
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context;
    bool healthy = false;
};

class Xxh128Digest : public WholeFileDigest {
public:
    Xxh128Digest() : state(XXH3_createState(), XXH3_freeState) {
        healthy = state && XXH3_128bits_reset(state.get()) == XXH_OK;
    }
    void update(std::span<const uint8_t> bytes) override {
        healthy = healthy && XXH3_128bits_update(state.get(), bytes.data(), bytes.size()) == XXH_OK;
    }
    std::optional<QString> result() override {
        if (!healthy)
            return std::nullopt;
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state.get()));
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(canonical.digest), sizeof canonical.digest).toHex());
    }

private:
    std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state;
    bool healthy = false;
};

} // namespace

std::unique_ptr<WholeFileDigest> sha256Digest() {
    return std::make_unique<EvpDigest>(EVP_sha256());
}

std::unique_ptr<WholeFileDigest> md5Digest() {
    return std::make_unique<EvpDigest>(EVP_md5());
}

std::unique_ptr<WholeFileDigest> xxh128Digest() {
    return std::make_unique<Xxh128Digest>();
}

std::optional<QString> sha256OfFile(const QString &path, std::stop_token stop) {
    return readBack(path, nullptr, stop).sha256;
}

QString sha256sumLine(const QString &sha256, const QString &path) {
    return sha256 + "  " + QFileInfo(path).fileName() + "\n";
}
