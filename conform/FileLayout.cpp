#include "conform/FileLayout.h"

#include "conform/KlvHeader.h"

#include <algorithm>

namespace conform {

namespace {

constexpr size_t kRipEntryBytes = 12, kRipLengthBytes = 4;

enum class Section { None, Metadata, Index, Essence };

struct Klv {
    uint64_t offset = 0;
    Key key{};
    uint64_t valueOffset = 0, length = 0;
    uint64_t end() const { return valueOffset + length; }
};

bool equalKeys(std::span<const uint8_t> key, const Key &expected, size_t bytes = kKeySize) {
    return std::equal(expected.begin(), expected.begin() + std::ptrdiff_t(bytes), key.begin());
}

bool isFill(const Key &key) {
    for (size_t i = 0; i < kKeySize; ++i)
        if (i != kVersionByte && key[i] != kFill[i])
            return false;
    return true;
}

// The primer and random index pack share the first 13 bytes; byte 13 tells the partition kinds apart.
bool isPartitionPack(const Key &key) {
    const uint8_t kind = key[kPartitionKindByte];
    return equalKeys(key, kPartitionPack, kPartitionKeyBytes) &&
           (kind == kHeaderKind || kind == kBodyKind || kind == kFooterKind);
}

bool isMetadata(const Key &key) {
    return key == kPrimerPack || startsWith(key, kMetadataSetPrefix);
}

bool isContent(const Key &key) {
    return std::equal(kContentKeyBytes.begin(), kContentKeyBytes.end(), key.begin() + kContentKeyOffset);
}

class Walker {
public:
    explicit Walker(std::span<const uint8_t> file) : file_(file), reader_(file) {}

    FileLayout walk() {
        while (reader_.remaining() > 0) {
            const std::optional<Klv> klv = nextKlv();
            if (!klv)
                break;
            if (layout_.randomIndex)
                layout_.randomIndex->last = false;
            take(*klv);
            reader_.seek(size_t(klv->end()));
        }
        closePartition(reader_.position());
        return std::move(layout_);
    }

private:
    void stop(const char *check, const QString &detail) {
        layout_.brokenCheck = check;
        layout_.brokenDetail = detail;
    }

    // The key and length at the reader's position, with its value inside the file.
    std::optional<Klv> nextKlv() {
        Klv klv;
        klv.offset = reader_.position();
        const KlvHeaderRead header = readKlvHeader(reader_, klv.key, klv.length);
        if (header == KlvHeaderRead::CutOff) {
            stop("file-truncated",
                 QString("the file ends inside the key or length of the item at byte %1").arg(klv.offset));
            return std::nullopt;
        }
        if (!startsWith(klv.key, kKeyPrefix)) {
            stop("klv-key", QString("the item at byte %1 has no SMPTE key").arg(klv.offset));
            return std::nullopt;
        }
        if (header == KlvHeaderRead::BadLength) {
            stop("klv-length", QString("the item at byte %1 has a malformed length").arg(klv.offset));
            return std::nullopt;
        }
        klv.valueOffset = reader_.position();
        if (klv.length > reader_.remaining()) {
            stop("file-truncated", QString("the item at byte %1 runs %2 bytes past the end of the file")
                                       .arg(klv.offset)
                                       .arg(klv.length - reader_.remaining()));
            return std::nullopt;
        }
        return klv;
    }

    std::span<const uint8_t> valueOf(const Klv &klv) const {
        return file_.subspan(size_t(klv.valueOffset), size_t(klv.length));
    }

    void take(const Klv &klv) {
        if (isPartitionPack(klv.key)) {
            closePartition(klv.offset);
            startPartition(klv);
        } else if (klv.key == kRandomIndexPack) {
            closePartition(klv.offset);
            readRandomIndex(klv);
        } else if (isFill(klv.key)) {
            if (klv.key[kVersionByte] != kFill[kVersionByte] && layout_.wrongFills++ == 0)
                layout_.firstWrongFill = klv.offset;
            if (current() && section_ == Section::Metadata)
                current()->metadataEnd = klv.end();
            else if (current() && section_ == Section::Index)
                current()->indexBytes += klv.end() - klv.offset;
        } else if (current() && isMetadata(klv.key) && section_ <= Section::Metadata) {
            if (section_ == Section::None)
                current()->metadataStart = klv.offset;
            section_ = Section::Metadata;
            current()->metadataEnd = klv.end();
        } else if (current() && klv.key == kIndexTableSegment && section_ != Section::Essence) {
            section_ = Section::Index;
            current()->indexBytes += klv.end() - klv.offset;
            current()->indexSegments.push_back(valueOf(klv));
        } else if (current()) {
            takeEssence(klv);
        }
    }

    void takeEssence(const Klv &klv) {
        PartitionPack &partition = *current();
        if (section_ != Section::Essence) {
            section_ = Section::Essence;
            partition.essenceStart = klv.offset;
        }
        if (!isContent(klv.key))
            return;
        if (!packageKey_)
            packageKey_ = klv.key;
        if (klv.key == *packageKey_)
            layout_.packageStarts.push_back(klv.offset);
        uint32_t trackNumber = 0;
        for (size_t i = kTrackNumberOffset; i < kKeySize; ++i)
            trackNumber = trackNumber << 8 | klv.key[i];
        ++layout_.elements[trackNumber];
        checkAlignment(partition.kag, klv.offset);
    }

    void checkAlignment(uint32_t kag, uint64_t offset) {
        if (kag > 1 && offset % kag != 0 && layout_.misaligned++ == 0)
            layout_.firstMisaligned = offset;
    }

    PartitionPack *current() { return layout_.partitions.empty() ? nullptr : &layout_.partitions.back(); }

    void startPartition(const Klv &klv) {
        PartitionPack pack;
        pack.offset = klv.offset;
        pack.kind = klv.key[kPartitionKindByte];
        pack.status = klv.key[kPartitionStatusByte];
        ByteReader value(valueOf(klv));
        uint16_t major = 0, minor = 0;
        if (klv.length < kPartitionPackFixedBytes || !value.readU16BE(major) || !value.readU16BE(minor) ||
            !value.readU32BE(pack.kag) || !value.readU64BE(pack.thisPartition) ||
            !value.readU64BE(pack.previousPartition) || !value.readU64BE(pack.footerPartition) ||
            !value.readU64BE(pack.headerByteCount) || !value.readU64BE(pack.indexByteCount) ||
            !value.readU32BE(pack.indexSid) || !value.readU64BE(pack.bodyOffset) ||
            !value.readU32BE(pack.bodySid))
            stop("partition-pack",
                 QString("the partition pack at byte %1 holds %2 bytes, fewer than a pack's "
                         "fixed fields")
                     .arg(klv.offset)
                     .arg(klv.length));
        pack.metadataStart = pack.metadataEnd = klv.end();
        pack.essenceStart = pack.essenceEnd = klv.end();
        layout_.partitions.push_back(pack);
        section_ = Section::None;
        checkAlignment(pack.kag, klv.offset);
        if (!layout_.brokenCheck.isEmpty())
            reader_.seek(file_.size());
    }

    void closePartition(uint64_t end) {
        if (!current())
            return;
        if (section_ == Section::Essence)
            current()->essenceEnd = end;
        else
            current()->essenceStart = current()->essenceEnd = end;
        section_ = Section::None;
    }

    void readRandomIndex(const Klv &klv) {
        RandomIndex index;
        index.offset = klv.offset;
        index.size = klv.end() - klv.offset;
        ByteReader value(valueOf(klv));
        if (klv.length >= kRipLengthBytes && (klv.length - kRipLengthBytes) % kRipEntryBytes == 0) {
            while (value.remaining() > kRipLengthBytes) {
                uint32_t sid = 0;
                uint64_t offset = 0;
                value.readU32BE(sid);
                value.readU64BE(offset);
                index.entries.emplace_back(sid, offset);
            }
            uint32_t declared = 0;
            value.readU32BE(declared);
            index.declaredSize = declared;
        }
        layout_.randomIndex = std::move(index);
        section_ = Section::None;
    }

    std::span<const uint8_t> file_;
    ByteReader reader_;
    FileLayout layout_;
    Section section_ = Section::None;
    std::optional<Key> packageKey_;
};

} // namespace

FileLayout walkFile(std::span<const uint8_t> file) {
    return Walker(file).walk();
}

} // namespace conform
