#include "conform/MetadataFacts.h"

#include "conform/KlvHeader.h"
#include "conform/LocalItems.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace conform {

namespace {

using Uid = std::array<uint8_t, 16>;

struct Set {
    uint8_t kind = 0;
    LocalItems items;
};

constexpr size_t kUidBytes = 16;

Rational rationalOf(const LocalItems &items, uint16_t tag) {
    const std::optional<uint64_t> value = itemNumber(items, tag, 8);
    return value ? Rational{int32_t(uint32_t(*value >> 32)), int32_t(uint32_t(*value))} : Rational{};
}

uint32_t u32Of(const LocalItems &items, uint16_t tag) {
    return uint32_t(itemNumber(items, tag, 4).value_or(0));
}

std::optional<Uid> uidOf(std::span<const uint8_t> bytes) {
    if (bytes.size() != kUidBytes)
        return std::nullopt;
    Uid uid;
    std::copy(bytes.begin(), bytes.end(), uid.begin());
    return uid;
}

std::optional<PackageUmid> umidOf(const LocalItems &items) {
    const auto found = items.find(tags::kPackageUid);
    if (found == items.end() || found->second.size() != PackageUmid().size())
        return std::nullopt;
    PackageUmid umid;
    std::copy(found->second.begin(), found->second.end(), umid.begin());
    return umid;
}

class Reader {
public:
    std::optional<MetadataFacts> read(std::span<const uint8_t> bytes, QString &problem) {
        if (!collectSets(bytes, problem))
            return std::nullopt;
        MetadataFacts facts;
        for (const auto &[uid, set] : sets_) {
            if (set.kind == sets::kMaterialPackage || set.kind == sets::kSourcePackage) {
                if (set.kind == sets::kMaterialPackage)
                    facts.materialPackage = umidOf(set.items);
                if (!readTracks(set, facts, problem))
                    return std::nullopt;
            } else if (set.kind == sets::kCdciDescriptor || set.kind == sets::kRgbaDescriptor ||
                       set.kind == sets::kMpegDescriptor) {
                facts.picture =
                    PictureFacts{u32Of(set.items, tags::kStoredWidth),
                                 u32Of(set.items, tags::kStoredHeight),
                                 uint8_t(itemNumber(set.items, tags::kFrameLayout, 1).value_or(0xFF)),
                                 rationalOf(set.items, tags::kSampleRate),
                                 u32Of(set.items, tags::kHorizontalSubsampling),
                                 u32Of(set.items, tags::kComponentDepth)};
            } else if (set.kind == sets::kSoundDescriptor || set.kind == sets::kWaveDescriptor ||
                       set.kind == sets::kAes3Descriptor) {
                facts.sounds.push_back(SoundFacts{rationalOf(set.items, tags::kAudioSamplingRate),
                                                  u32Of(set.items, tags::kChannelCount),
                                                  u32Of(set.items, tags::kQuantizationBits)});
            }
        }
        // Sets come in any order: the facts are put in one, so that two copies of the metadata compare.
        std::sort(facts.tracks.begin(), facts.tracks.end(), [](const TrackFacts &a, const TrackFacts &b) {
            return std::tie(a.material, a.id, a.number) < std::tie(b.material, b.id, b.number);
        });
        std::sort(facts.sounds.begin(), facts.sounds.end(), [](const SoundFacts &a, const SoundFacts &b) {
            return std::tie(a.samplingRate.numerator, a.samplingRate.denominator, a.channels, a.bits) <
                   std::tie(b.samplingRate.numerator, b.samplingRate.denominator, b.channels, b.bits);
        });
        return facts;
    }

private:
    bool collectSets(std::span<const uint8_t> bytes, QString &problem) {
        ByteReader reader(bytes);
        while (reader.remaining() > 0) {
            Key key{};
            uint64_t length = 0;
            if (readKlvHeader(reader, key, length) != KlvHeaderRead::Read) {
                problem = "a set's key or length is cut off or malformed";
                return false;
            }
            std::span<const uint8_t> value;
            if (!reader.readView(size_t(std::min<uint64_t>(length, SIZE_MAX)), value)) {
                problem = "a set runs past the header metadata";
                return false;
            }
            if (!startsWith(key, kMetadataSetPrefix))
                continue;
            std::optional<LocalItems> items = readLocalItems(value);
            const auto uidItem = items ? items->find(tags::kInstanceUid) : LocalItems::const_iterator();
            const std::optional<Uid> uid =
                items && uidItem != items->end() ? uidOf(uidItem->second) : std::nullopt;
            if (!uid) {
                problem = QString("a set of kind %1 does not split into items with an instance UID")
                              .arg(key[kSetKindByte], 2, 16, QChar('0'));
                return false;
            }
            sets_[*uid] = Set{key[kSetKindByte], std::move(*items)};
        }
        return true;
    }

    const Set *referred(std::span<const uint8_t> reference, uint8_t kind) const {
        const std::optional<Uid> uid = uidOf(reference);
        const auto found = uid ? sets_.find(*uid) : sets_.end();
        return found != sets_.end() && found->second.kind == kind ? &found->second : nullptr;
    }

    bool readTracks(const Set &package, MetadataFacts &facts, QString &problem) const {
        const auto list = package.items.find(tags::kTracks);
        ByteReader reader(list == package.items.end() ? std::span<const uint8_t>() : list->second);
        uint32_t count = 0, size = 0;
        if (!reader.readU32BE(count) || !reader.readU32BE(size) || size != kUidBytes ||
            uint64_t(count) * size != reader.remaining()) {
            problem = "a package's track list is malformed";
            return false;
        }
        for (uint32_t i = 0; i < count; ++i) {
            std::span<const uint8_t> reference;
            reader.readView(kUidBytes, reference);
            const Set *track = referred(reference, sets::kTrack);
            const auto sequenceRef =
                track ? track->items.find(tags::kSequence) : LocalItems::const_iterator();
            const Set *sequence = track && sequenceRef != track->items.end()
                                      ? referred(sequenceRef->second, sets::kSequence)
                                      : nullptr;
            if (!sequence) {
                problem = "a package refers to a track or sequence that is not in the metadata";
                return false;
            }
            facts.tracks.push_back(
                TrackFacts{package.kind == sets::kMaterialPackage, u32Of(track->items, tags::kTrackId),
                           u32Of(track->items, tags::kTrackNumber),
                           int64_t(itemNumber(sequence->items, tags::kDuration, 8).value_or(uint64_t(-1))),
                           rationalOf(track->items, tags::kEditRate)});
        }
        return true;
    }

    std::map<Uid, Set> sets_;
};

} // namespace

std::optional<MetadataFacts> readMetadataFacts(std::span<const uint8_t> bytes, QString &problem) {
    return Reader().read(bytes, problem);
}

} // namespace conform
