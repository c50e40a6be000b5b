#include "conform/Conformance.h"

#include "conform/FileLayout.h"
#include "conform/IndexSegments.h"
#include "conform/MetadataFacts.h"
#include "conform/MxfKeys.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <sys/mman.h>

namespace conform {

namespace {

QString partitionName(const PartitionPack &pack) {
    switch (pack.kind) {
    case kHeaderKind:
        return QString("header partition at byte %1").arg(pack.offset);
    case kBodyKind:
        return QString("body partition at byte %1").arg(pack.offset);
    case kFooterKind:
        return QString("footer partition at byte %1").arg(pack.offset);
    default:
        return QString("partition at byte %1").arg(pack.offset);
    }
}

QString trackName(uint32_t number) {
    switch (number >> 24) {
    case kPictureItem:
        return "the picture";
    case kSoundItem:
        return QString("sound channel %1").arg((number & 0xFF) + 1);
    case kDataItem:
        return "the data item";
    default:
        return QString("the item %1").arg(number, 8, 16, QChar('0'));
    }
}

QString rationalText(Rational rate) {
    return QString("%1/%2").arg(rate.numerator).arg(rate.denominator);
}

class Checker {
public:
    Checker(std::span<const uint8_t> file, const std::optional<ExpectedEssence> &expected)
        : file_(file), expected_(expected), layout_(walkFile(file)) {}

    ConformanceResult run() {
        if (!layout_.brokenCheck.isEmpty())
            fail(layout_.brokenCheck, layout_.brokenDetail);
        checkPartitions();
        checkRandomIndex();
        checkIndex();
        checkMetadata();
        checkElements();
        checkFill();
        checkDescriptors();
        return std::move(result_);
    }

private:
    void fail(const QString &check, const QString &detail) { result_.failures.push_back({check, detail}); }

    const PartitionPack *footer() const {
        const auto &packs = layout_.partitions;
        return !packs.empty() && packs.back().kind == kFooterKind ? &packs.back() : nullptr;
    }

    std::span<const uint8_t> metadataOf(const PartitionPack &pack) const {
        return file_.subspan(size_t(pack.metadataStart), size_t(pack.metadataEnd - pack.metadataStart));
    }

    void checkPartitions() {
        const auto &packs = layout_.partitions;
        if (packs.empty() || packs.front().offset != 0 || packs.front().kind != kHeaderKind)
            fail("header-partition", "the file does not start with a header partition pack");
        else if (packs.front().status != kClosedComplete)
            fail("header-open", QString("the header partition's status is %1, not closed and complete (%2)")
                                    .arg(packs.front().status)
                                    .arg(kClosedComplete));
        const PartitionPack *last = footer();
        if (!last)
            fail("footer-missing", "the last partition pack is not a footer");
        std::map<uint32_t, uint64_t> streamBytes;
        for (size_t i = 0; i < packs.size(); ++i) {
            const PartitionPack &pack = packs[i];
            const QString name = partitionName(pack);
            if (pack.thisPartition != pack.offset)
                fail("partition-this",
                     QString("the %1 says it is at byte %2").arg(name).arg(pack.thisPartition));
            const uint64_t previous = i == 0 ? 0 : packs[i - 1].offset;
            if (pack.previousPartition != previous)
                fail("partition-previous",
                     QString("the %1 gives the previous partition at byte %2, it is at %3")
                         .arg(name)
                         .arg(pack.previousPartition)
                         .arg(previous));
            if (last && pack.footerPartition != last->offset)
                fail("partition-footer", QString("the %1 gives the footer at byte %2, it is at %3")
                                             .arg(name)
                                             .arg(pack.footerPartition)
                                             .arg(last->offset));
            if (pack.headerByteCount != pack.metadataEnd - pack.metadataStart)
                fail("partition-header-bytes",
                     QString("the %1 gives %2 bytes of header metadata, it holds %3")
                         .arg(name)
                         .arg(pack.headerByteCount)
                         .arg(pack.metadataEnd - pack.metadataStart));
            if (pack.indexByteCount != pack.indexBytes)
                fail("partition-index-bytes", QString("the %1 gives %2 bytes of index table, it holds %3")
                                                  .arg(name)
                                                  .arg(pack.indexByteCount)
                                                  .arg(pack.indexBytes));
            if (pack.bodySid == 0)
                continue;
            uint64_t &before = streamBytes[pack.bodySid];
            if (pack.bodyOffset != before)
                fail("partition-body-offset",
                     QString("the %1 gives its essence at stream byte %2, it is at %3")
                         .arg(name)
                         .arg(pack.bodyOffset)
                         .arg(before));
            before += pack.essenceEnd - pack.essenceStart;
        }
    }

    void checkRandomIndex() {
        if (!layout_.randomIndex) {
            fail("rip-missing", "the file does not end with a random index pack");
            return;
        }
        const RandomIndex &index = *layout_.randomIndex;
        if (!index.last)
            fail("rip-not-last", QString("items follow the random index pack at byte %1").arg(index.offset));
        if (!index.declaredSize)
            fail("rip-length", "the random index pack does not hold whole entries and its length");
        else if (*index.declaredSize != index.size)
            fail("rip-length", QString("the random index pack gives its length as %1 bytes, it takes %2")
                                   .arg(*index.declaredSize)
                                   .arg(index.size));
        const auto &packs = layout_.partitions;
        if (index.entries.size() != packs.size()) {
            fail("rip-entries", QString("the random index pack lists %1 partitions, the file holds %2")
                                    .arg(index.entries.size())
                                    .arg(packs.size()));
            return;
        }
        for (size_t i = 0; i < packs.size(); ++i)
            if (index.entries[i] != std::pair(packs[i].bodySid, packs[i].offset)) {
                fail("rip-entries",
                     QString("the random index pack's entry %1 gives body stream %2 at byte %3, "
                             "the %4 has body stream %5")
                         .arg(i + 1)
                         .arg(index.entries[i].first)
                         .arg(index.entries[i].second)
                         .arg(partitionName(packs[i]))
                         .arg(packs[i].bodySid));
                return;
            }
    }

    // The file offset of a body stream's byte, or nothing when no partition of that stream holds it.
    std::optional<uint64_t> fileOffset(uint32_t bodySid, uint64_t streamOffset) const {
        for (const PartitionPack &pack : layout_.partitions)
            if (pack.bodySid == bodySid && streamOffset >= pack.bodyOffset &&
                streamOffset - pack.bodyOffset < pack.essenceEnd - pack.essenceStart)
                return pack.essenceStart + (streamOffset - pack.bodyOffset);
        return std::nullopt;
    }

    void checkIndex() {
        std::vector<IndexSegment> segments;
        for (const PartitionPack &pack : layout_.partitions)
            for (const std::span<const uint8_t> value : pack.indexSegments) {
                QString problem;
                const std::optional<IndexSegment> segment = readIndexSegment(value, problem);
                if (!segment) {
                    fail("index-segment",
                         QString("an index table segment in the %1: %2").arg(partitionName(pack), problem));
                    return;
                }
                segments.push_back(*segment);
            }
        if (segments.empty()) {
            fail("index-missing", "the file holds no index table segment");
            return;
        }
        std::sort(segments.begin(), segments.end(),
                  [](const IndexSegment &a, const IndexSegment &b) { return a.start < b.start; });
        const std::vector<uint64_t> &packages = layout_.packageStarts;
        uint64_t covered = 0;
        for (const IndexSegment &segment : segments) {
            if (segment.start != covered) {
                fail("index-coverage", QString("the index goes on at edit unit %1 after edit unit %2")
                                           .arg(segment.start)
                                           .arg(covered));
                return;
            }
            covered += segment.duration;
        }
        indexedUnits_ = covered;
        if (covered != packages.size())
            fail("index-coverage",
                 QString("the index covers %1 edit units, the file holds %2 content packages")
                     .arg(covered)
                     .arg(packages.size()));
        uint64_t wrong = 0;
        QString first;
        for (const IndexSegment &segment : segments)
            for (uint64_t i = 0; i < segment.duration && segment.start + i < packages.size(); ++i) {
                const uint64_t unit = segment.start + i;
                const uint64_t stream = segment.streamOffset(i);
                const std::optional<uint64_t> at = fileOffset(segment.bodySid, stream);
                if (at == packages[unit])
                    continue;
                if (wrong++ == 0)
                    first =
                        QString("edit unit %1 is indexed at stream byte %2 (%3), its content package starts "
                                "at byte %4")
                            .arg(unit)
                            .arg(stream)
                            .arg(at ? QString("file byte %1").arg(*at) : QString("outside the essence"))
                            .arg(packages[unit]);
            }
        if (wrong > 0)
            fail("index-offset", QString("%1 index entries are wrong; %2").arg(wrong).arg(first));
    }

    void checkMetadata() {
        const auto &packs = layout_.partitions;
        if (packs.empty() || packs.front().kind != kHeaderKind)
            return;
        QString problem;
        header_ = readMetadataFacts(metadataOf(packs.front()), problem);
        if (!header_) {
            fail("metadata-sets", QString("the header metadata: %1").arg(problem));
            return;
        }
        result_.materialPackage = header_->materialPackage;
        const PartitionPack *last = footer();
        if (last && last->metadataEnd > last->metadataStart) {
            const std::optional<MetadataFacts> repeated = readMetadataFacts(metadataOf(*last), problem);
            if (!repeated)
                fail("metadata-sets", QString("the footer's header metadata: %1").arg(problem));
            else if (repeated->tracks != header_->tracks)
                fail("metadata-footer", "the footer's tracks or durations differ from the header's");
            else if (repeated->picture != header_->picture || repeated->sounds != header_->sounds)
                fail("metadata-footer", "the footer's essence descriptors differ from the header's");
        }
        if (!indexedUnits_)
            return;
        for (const TrackFacts &track : header_->tracks)
            if (track.duration < 0 || uint64_t(track.duration) != *indexedUnits_) {
                fail("index-duration", QString("track %1 lasts %2 edit units, the index covers %3")
                                           .arg(track.id)
                                           .arg(track.duration)
                                           .arg(*indexedUnits_));
                return;
            }
    }

    void checkElements() {
        const uint64_t packages = layout_.packageStarts.size();
        for (const auto &[number, count] : layout_.elements)
            if (count != packages)
                fail("element-count", QString("%1 has %2 elements in %3 content packages")
                                          .arg(trackName(number))
                                          .arg(count)
                                          .arg(packages));
        if (!header_)
            return;
        for (const TrackFacts &track : header_->tracks) {
            const auto found = layout_.elements.find(track.number);
            const uint64_t elements = (track.material || track.number == 0)
                                          ? packages
                                          : (found == layout_.elements.end() ? 0 : found->second);
            if (track.duration < 0 || uint64_t(track.duration) != elements)
                fail("track-duration", QString("%1 track %2 lasts %3 edit units, the file holds %4 %5")
                                           .arg(track.material ? "material" : "file")
                                           .arg(track.id)
                                           .arg(track.duration)
                                           .arg(elements)
                                           .arg((track.material || track.number == 0) ? "content packages"
                                                                                      : "of its elements"));
        }
    }

    void checkFill() {
        if (layout_.wrongFills > 0)
            fail("fill-key", QString("%1 fill items have an unregistered key, the first at byte %2")
                                 .arg(layout_.wrongFills)
                                 .arg(layout_.firstWrongFill));
        if (layout_.misaligned > 0)
            fail("kag-alignment",
                 QString("%1 items start off the declared KLV alignment grid, the first at byte %2")
                     .arg(layout_.misaligned)
                     .arg(layout_.firstMisaligned));
    }

    void checkDescriptors() {
        if (!expected_ || !header_)
            return;
        result_.descriptorsCompared = true;
        const ExpectedEssence &e = *expected_;
        const Rational rate{e.rateNumerator, e.rateDenominator};
        if (!header_->picture) {
            fail("descriptor-missing", "the file has no picture descriptor");
        } else {
            const PictureFacts &p = *header_->picture;
            if (p.width != e.width || p.height != e.height || p.frameLayout != e.frameLayout)
                fail("descriptor-size",
                     QString("the picture is stored as %1 x %2 in frame layout %3, the clip "
                             "gives %4 x %5 in frame layout %6")
                         .arg(p.width)
                         .arg(p.height)
                         .arg(p.frameLayout)
                         .arg(e.width)
                         .arg(e.height)
                         .arg(e.frameLayout));
            if (p.sampleRate != rate)
                fail("descriptor-rate", QString("the picture's sample rate is %1, the clip's rate %2")
                                            .arg(rationalText(p.sampleRate), rationalText(rate)));
            if (p.horizontalSubsampling != e.horizontalSubsampling || p.componentDepth != e.componentDepth)
                fail(
                    "descriptor-sampling",
                    QString("the picture has horizontal subsampling %1 and %2 bits, the clip gives %3 and %4")
                        .arg(p.horizontalSubsampling)
                        .arg(p.componentDepth)
                        .arg(e.horizontalSubsampling)
                        .arg(e.componentDepth));
        }
        const auto track = std::find_if(header_->tracks.begin(), header_->tracks.end(),
                                        [&rate](const TrackFacts &t) { return t.editRate != rate; });
        if (track != header_->tracks.end())
            fail("descriptor-rate", QString("track %1's edit rate is %2, the clip's rate %3")
                                        .arg(track->id)
                                        .arg(rationalText(track->editRate), rationalText(rate)));
        uint64_t channels = 0;
        for (const SoundFacts &sound : header_->sounds)
            channels += sound.channels;
        if (channels != e.soundChannels || header_->sounds.size() != e.soundChannels)
            fail("descriptor-channels", QString("%1 sound descriptors describe %2 channels, the clip has %3")
                                            .arg(header_->sounds.size())
                                            .arg(channels)
                                            .arg(e.soundChannels));
        const Rational sampling{e.soundSamplingRate, 1};
        const auto sound =
            std::find_if(header_->sounds.begin(), header_->sounds.end(), [&](const SoundFacts &s) {
                return s.samplingRate != sampling || s.bits != e.soundBits;
            });
        if (sound != header_->sounds.end())
            fail("descriptor-sound", QString("a sound channel is described as %1 Hz with %2 bits, the clip's "
                                             "sound is %3 Hz with %4 bits")
                                         .arg(rationalText(sound->samplingRate))
                                         .arg(sound->bits)
                                         .arg(e.soundSamplingRate)
                                         .arg(e.soundBits));
    }

    std::span<const uint8_t> file_;
    const std::optional<ExpectedEssence> &expected_;
    FileLayout layout_;
    ConformanceResult result_;
    std::optional<MetadataFacts> header_;
    std::optional<uint64_t> indexedUnits_;
};

} // namespace

QStringList ConformanceResult::lines() const {
    QStringList lines;
    for (const ConformanceFailure &failure : failures)
        lines.append(QString("%1: %2").arg(failure.check, failure.detail));
    return lines;
}

ConformanceResult checkConformance(std::span<const uint8_t> file,
                                   const std::optional<ExpectedEssence> &expected) {
    return Checker(file, expected).run();
}

ConformanceResult checkFileConformance(const QString &path, const std::optional<ExpectedEssence> &expected) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConformanceResult result;
        result.failures.push_back({"file-unreadable", QString("%1: %2").arg(path, file.errorString())});
        return result;
    }
    if (file.size() == 0)
        return checkConformance({}, expected);
    uchar *bytes = file.map(0, file.size());
    if (!bytes) {
        ConformanceResult result;
        result.failures.push_back(
            {"file-unreadable", QString("%1 cannot be mapped: %2").arg(path, file.errorString())});
        return result;
    }
    // Only keys, lengths and structures are read: no read-ahead of the essence around them.
    madvise(bytes, size_t(file.size()), MADV_RANDOM);
    ConformanceResult result =
        checkConformance(std::span<const uint8_t>(bytes, size_t(file.size())), expected);
    file.unmap(bytes);
    return result;
}

} // namespace conform
