#pragma once

// Whole-file digests of a finished file, for fixity checks long after the transfer, taken during its one
// read-back (FileVerification.h), and the SHA-256 line in the layout `sha256sum -c` reads.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>

// The whole-file digests of a finished file, lower-case hex; empty: not taken.
struct FileDigests {
    QString sha256;
    QString xxh128;
    QString md5;
};

// A digest of a whole file, fed its bytes in file order.
class WholeFileDigest {
public:
    virtual ~WholeFileDigest() = default;
    virtual void update(std::span<const uint8_t> bytes) = 0;
    // Lower-case hex of the bytes fed; nothing when the digest could not be taken.
    virtual std::optional<QString> result() = 0;
};

std::unique_ptr<WholeFileDigest> sha256Digest();
std::unique_ptr<WholeFileDigest> md5Digest();
// XXH3's 128-bit hash with seed 0, in the canonical (big-endian) hex that `xxhsum -H2` prints.
std::unique_ptr<WholeFileDigest> xxh128Digest();

// The SHA-256 of the file at `path`, read as the read-back reads it; nothing when the file cannot be read
// or a stop was requested through `stop`.
std::optional<QString> sha256OfFile(const QString &path, std::stop_token stop = {});
// "HEX  NAME\n": NAME is the file's name without its folder, so the check runs from the file's folder.
QString sha256sumLine(const QString &sha256, const QString &path);
