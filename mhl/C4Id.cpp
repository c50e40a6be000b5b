#include "mhl/C4Id.h"

#include <algorithm>
#include <array>
#include <openssl/evp.h>

namespace mhl {

namespace {

constexpr char kAlphabet[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
constexpr int kBase = 58;
constexpr int kDigits = 88; // 58^88 > 2^512: every SHA-512 fits
constexpr int kSha512Bytes = 64;

} // namespace

QString c4Id(QByteArrayView bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), size_t(bytes.size()), digest.data(), &length, EVP_sha512(), nullptr) != 1 ||
        length != kSha512Bytes)
        return QString();
    // The digest as one big-endian number, divided by 58 again and again: each remainder is the next digit,
    // least significant first.
    std::array<unsigned char, kSha512Bytes> number{};
    std::copy_n(digest.begin(), kSha512Bytes, number.begin());
    QByteArray digits(kDigits, kAlphabet[0]);
    for (int position = kDigits - 1; position >= 0; --position) {
        unsigned remainder = 0;
        for (unsigned char &byte : number) {
            const unsigned value = remainder * 256 + byte;
            byte = static_cast<unsigned char>(value / kBase);
            remainder = value % kBase;
        }
        digits[position] = kAlphabet[remainder];
    }
    return QStringLiteral("c4") + QString::fromLatin1(digits);
}

} // namespace mhl
