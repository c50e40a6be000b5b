#include "platform/smdk/HeaderMetadata.h"

#include "bytes/ByteWriter.h"
#include "mxf/Assertion.h"
#include "platform/smdk/InstanceUids.h"
#include "platform/smdk/PartitionPack.h"

namespace smdk {

UL soundElementKey(uint32_t channelCount, uint32_t channel) {
    return keys::aes3SoundElement(uint8_t(channelCount), uint8_t(channel));
}

uint32_t trackNumberOf(const UL &elementKey) {
    return uint32_t(elementKey[12]) << 24 | uint32_t(elementKey[13]) << 16 | uint32_t(elementKey[14]) << 8 |
           elementKey[15];
}

std::vector<UL> essenceContainerLabels(uint32_t channelCount) {
    std::vector<UL> labels{labels::multipleWrappings, labels::mpegEsFrameWrapped};
    if (channelCount > 0)
        labels.push_back(labels::aes3FrameWrapped);
    labels.push_back(labels::ancData);
    return labels;
}

UL pictureCodingLabel(uint8_t profileAndLevel) {
    // Simple Studio levels 1 to 4 (0xE1-0xE4) and 5, 6 (0xEB, 0xEC, a later register version);
    // Core Studio levels 1 to 4 (0xE5-0xE8); anything else names MPEG-4 Visual without a profile.
    if (profileAndLevel >= 0xE1 && profileAndLevel <= 0xE4)
        return labels::mpeg4Visual(0x03, 0x10, uint8_t(profileAndLevel - 0xE0));
    if (profileAndLevel == 0xEB || profileAndLevel == 0xEC)
        return labels::mpeg4Visual(0x0B, 0x10, uint8_t(profileAndLevel - 0xE6));
    if (profileAndLevel >= 0xE5 && profileAndLevel <= 0xE8)
        return labels::mpeg4Visual(0x03, 0x11, uint8_t(profileAndLevel - 0xE4));
    return labels::mpeg4Visual(0x03, 0x00, 0x00);
}

namespace {

// Emphasis of the MXF sound descriptor from AES3 channel status byte 0, whose bits 2 to 4 hold the
// emphasis in transmission order.
uint8_t emphasisOf(uint8_t statusByte0) {
    switch ((statusByte0 >> 2) & 7) {
    case 1:
        return 4; // none
    case 3:
        return 6; // 50/15 us
    case 7:
        return 7; // CCITT J.17
    default:
        return 0; // not indicated
    }
}

constexpr uint8_t fixedChannelStatus = 3;
constexpr uint32_t defaultAudioSamplingRate = 48000;

struct PackageUids {
    Uuid package;
    Uuid timecodeTrack;
    Uuid pictureTrack;
    std::vector<Uuid> soundTracks;
    Uuid dataTrack;
};

class Coder {
public:
    Coder(const SMDKMasterMetadata &metadata, const Uuid &uidBase, int64_t duration)
        : metadata_(metadata), uids_(uidBase), duration_(duration), editRate_(metadata.editRate()),
          channels_(metadata.soundChannelCount()) {
        util::require(editRate_.numerator > 0 && editRate_.denominator > 0, "valid edit rate");
        util::require(channels_ >= 0 && channels_ <= maximumSoundChannels, "valid sound channel count");
    }

    std::vector<uint8_t> encode() {
        const std::vector<SMDKUserComment> comments = metadata_.userComments();
        appendPrimerPack(out_, !comments.empty());
        const Uuid preface = uids_.next(), identification = uids_.next(), storage = uids_.next(),
                   containerData = uids_.next();
        const PackageUids material = packageUids(), file = packageUids();
        const Uuid multiple = uids_.next(), picture = uids_.next(), mpeg4 = uids_.next(), anc = uids_.next();
        std::vector<Uuid> sounds;
        for (int32_t k = 0; k < channels_; ++k)
            sounds.push_back(uids_.next());
        std::vector<Uuid> commentUids;
        for (size_t k = 0; k < comments.size(); ++k)
            commentUids.push_back(uids_.next());

        const UMID materialUmid = metadata_.firstPackageUmid();
        const UMID fileUmid = metadata_.secondPackageUmid();
        const SMDKDateTime modified = metadata_.secondTimestamp();

        LocalSet(keys::preface)
            .label(tags::instanceUid, preface)
            .timestamp(tags::lastModifiedDate, modified)
            .u16(tags::version, uint16_t(majorVersion << 8 | minorVersion))
            .u32(tags::objectModelVersion, 1)
            .labels(tags::identifications, {identification})
            .label(tags::contentStorageRef, storage)
            .label(tags::operationalPattern, labels::op1a)
            .labels(tags::essenceContainers, essenceContainerLabels(uint32_t(channels_)))
            .labels(tags::dmSchemes, {})
            .appendTo(out_);

        const IdentificationRecord who = metadata_.identificationInfo();
        std::vector<uint8_t> version;
        for (uint16_t part : {who.productVersion.major, who.productVersion.minor, who.productVersion.patch,
                              who.productVersion.build, who.productVersion.release}) {
            version.push_back(uint8_t(part >> 8));
            version.push_back(uint8_t(part));
        }
        LocalSet(keys::identification)
            .label(tags::instanceUid, identification)
            .label(tags::thisGenerationUid, uids_.next())
            .utf16(tags::companyName, who.companyName)
            .utf16(tags::productName, who.productName)
            .bytes(tags::productVersion, version)
            .utf16(tags::versionString, who.versionString)
            .label(tags::productUid, who.productUID)
            .timestamp(tags::modificationDate, modified)
            .appendTo(out_);

        LocalSet(keys::contentStorage)
            .label(tags::instanceUid, storage)
            .labels(tags::packages, {material.package, file.package})
            .labels(tags::essenceContainerDataRefs, {containerData})
            .appendTo(out_);
        LocalSet(keys::essenceContainerData)
            .label(tags::instanceUid, containerData)
            .umid(tags::linkedPackageUid, fileUmid)
            .u32(tags::indexSid, essenceIndexSid)
            .u32(tags::bodySid, essenceBodySid)
            .appendTo(out_);

        appendPackage(keys::materialPackage, material, materialUmid, &fileUmid, nullptr, commentUids);
        for (size_t k = 0; k < comments.size(); ++k)
            appendTaggedValue(commentUids[k], comments[k]);
        appendPackage(keys::sourcePackage, file, fileUmid, nullptr, &multiple, {});

        std::vector<Uuid> subDescriptors{picture};
        subDescriptors.insert(subDescriptors.end(), sounds.begin(), sounds.end());
        subDescriptors.push_back(anc);
        LocalSet(keys::multipleDescriptor)
            .label(tags::instanceUid, multiple)
            .rational(tags::sampleRate, editRate_)
            .i64(tags::containerDuration, duration_)
            .label(tags::essenceContainer, labels::multipleWrappings)
            .labels(tags::subDescriptorUids, subDescriptors)
            .appendTo(out_);
        appendPictureDescriptor(picture, mpeg4);
        for (int32_t k = 0; k < channels_; ++k)
            appendSoundDescriptor(sounds[size_t(k)], uint32_t(k));
        LocalSet(keys::ancDataDescriptor)
            .label(tags::instanceUid, anc)
            .u32(tags::linkedTrackId, dataTrackId(uint32_t(channels_)))
            .rational(tags::sampleRate, editRate_)
            .i64(tags::containerDuration, duration_)
            .label(tags::essenceContainer, labels::ancData)
            .appendTo(out_);
        return std::move(out_);
    }

private:
    PackageUids packageUids() {
        PackageUids ids{uids_.next(), uids_.next(), uids_.next(), {}, {}};
        for (int32_t k = 0; k < channels_; ++k)
            ids.soundTracks.push_back(uids_.next());
        ids.dataTrack = uids_.next();
        return ids;
    }

    // A package with its tracks. A material package (`source` set) refers each essence track to the file
    // package's track of the same ID; a file package (`descriptor` set) names its elements' track numbers.
    // The package refers to its user comments, when it has any.
    void appendPackage(const UL &key, const PackageUids &ids, const UMID &umid, const UMID *source,
                       const Uuid *descriptor, const std::vector<Uuid> &comments) {
        const bool isFile = descriptor != nullptr;
        std::vector<Uuid> trackUids{ids.timecodeTrack, ids.pictureTrack};
        trackUids.insert(trackUids.end(), ids.soundTracks.begin(), ids.soundTracks.end());
        trackUids.push_back(ids.dataTrack);

        LocalSet package(key);
        package.label(tags::instanceUid, ids.package)
            .umid(tags::packageUid, umid)
            .utf16(tags::packageName, metadata_.packageName())
            .timestamp(tags::packageCreationDate, metadata_.firstTimestamp())
            .timestamp(tags::packageModifiedDate, metadata_.secondTimestamp())
            .labels(tags::tracks, trackUids);
        if (isFile)
            package.label(tags::descriptor, *descriptor);
        if (!comments.empty())
            package.labels(tags::userComments, comments);
        package.appendTo(out_);

        appendTimecodeTrack(ids.timecodeTrack);
        const uint32_t channels = uint32_t(channels_);
        appendEssenceTrack(ids.pictureTrack, pictureTrackId,
                           isFile ? trackNumberOf(keys::mpegPictureElement) : 0, labels::pictureTrack,
                           source);
        for (uint32_t k = 0; k < channels; ++k)
            appendEssenceTrack(ids.soundTracks[k], soundTrackId(k),
                               isFile ? trackNumberOf(soundElementKey(channels, k)) : 0, labels::soundTrack,
                               source);
        appendEssenceTrack(ids.dataTrack, dataTrackId(channels),
                           isFile ? trackNumberOf(keys::ancDataElement) : 0, labels::dataTrack, source);
    }

    // A user comment: its name as a UTF-16 string, its value as an indirect value holding one.
    void appendTaggedValue(const Uuid &uid, const SMDKUserComment &comment) {
        std::vector<uint8_t> value(labels::indirectUtf16BigEndian.begin(),
                                   labels::indirectUtf16BigEndian.end());
        ByteWriter writer(value);
        for (char16_t unit : comment.value)
            writer.u16BE(uint16_t(unit));
        LocalSet(keys::taggedValue)
            .label(tags::instanceUid, uid)
            .utf16(tags::taggedValueName, comment.name)
            .bytes(tags::taggedValueValue, value)
            .appendTo(out_);
    }

    void appendTrack(const Uuid &track, uint32_t trackId, uint32_t trackNumber, const Uuid &sequence) {
        LocalSet(keys::track)
            .label(tags::instanceUid, track)
            .u32(tags::trackId, trackId)
            .u32(tags::trackNumber, trackNumber)
            .label(tags::sequenceRef, sequence)
            .rational(tags::editRate, editRate_)
            .i64(tags::origin, 0)
            .appendTo(out_);
    }

    void appendSequence(const Uuid &sequence, const UL &dataDefinition, const Uuid &component) {
        LocalSet(keys::sequence)
            .label(tags::instanceUid, sequence)
            .label(tags::dataDefinition, dataDefinition)
            .i64(tags::duration, duration_)
            .labels(tags::structuralComponents, {component})
            .appendTo(out_);
    }

    void appendTimecodeTrack(const Uuid &track) {
        const Uuid sequence = uids_.next(), component = uids_.next();
        appendTrack(track, timecodeTrackId, 0, sequence);
        appendSequence(sequence, labels::timecodeTrack, component);
        const int64_t base =
            (int64_t(editRate_.numerator) + editRate_.denominator / 2) / editRate_.denominator;
        // Drop-frame counting exists only for the 30 and 60 frame bases.
        const bool dropFrame = metadata_.isDropFrame() && base % 30 == 0;
        LocalSet(keys::timecodeComponent)
            .label(tags::instanceUid, component)
            .label(tags::dataDefinition, labels::timecodeTrack)
            .i64(tags::duration, duration_)
            .u16(tags::roundedTimecodeBase, uint16_t(base))
            .i64(tags::startTimecode, metadata_.startTimecode())
            .boolean(tags::dropFrame, dropFrame)
            .appendTo(out_);
    }

    void appendEssenceTrack(const Uuid &track, uint32_t trackId, uint32_t trackNumber,
                            const UL &dataDefinition, const UMID *source) {
        const Uuid sequence = uids_.next(), clip = uids_.next();
        appendTrack(track, trackId, trackNumber, sequence);
        appendSequence(sequence, dataDefinition, clip);
        // A file package's clips end the reference chain: a zero package ID.
        const std::array<uint8_t, UMID::size> sourceId =
            source ? source->bytes : std::array<uint8_t, UMID::size>{};
        LocalSet(keys::sourceClip)
            .label(tags::instanceUid, clip)
            .label(tags::dataDefinition, dataDefinition)
            .i64(tags::duration, duration_)
            .i64(tags::startPosition, 0)
            .bytes(tags::sourcePackageId, sourceId)
            .u32(tags::sourceTrackId, source ? trackId : 0)
            .appendTo(out_);
    }

    void appendPictureDescriptor(const Uuid &picture, const Uuid &mpeg4) {
        const SMDKPair stored = metadata_.storedSize();
        const SMDKPair lineMap = metadata_.videoLineMap();
        const SMDKPair aspect = metadata_.aspectRatio();
        const SMDKPair subsampling = metadata_.chromaSubsampling();
        const bool progressive = metadata_.isProgressive();
        LocalSet(keys::cdciDescriptor)
            .label(tags::instanceUid, picture)
            .u32(tags::linkedTrackId, pictureTrackId)
            .rational(tags::sampleRate, editRate_)
            .i64(tags::containerDuration, duration_)
            .label(tags::essenceContainer, labels::mpegEsFrameWrapped)
            .u8(tags::frameLayout, progressive ? 0 : 1) // full frame, or separate fields
            .u32(tags::storedWidth, uint32_t(stored.first))
            .u32(tags::storedHeight, uint32_t(stored.second))
            .rational(tags::aspectRatio, {aspect.first, aspect.second})
            .int32Array(tags::videoLineMap, {lineMap.first, lineMap.second})
            .label(tags::pictureEssenceCoding, pictureCodingLabel(metadata_.profileAndLevel()))
            .u32(tags::componentDepth, uint32_t(metadata_.componentDepth()))
            .u32(tags::horizontalSubsampling, uint32_t(subsampling.first))
            .u32(tags::verticalSubsampling, uint32_t(subsampling.second))
            .labels(tags::subDescriptors, {mpeg4})
            .appendTo(out_);
        LocalSet(keys::mpeg4VisualSubDescriptor)
            .label(tags::instanceUid, mpeg4)
            .boolean(tags::mpeg4SingleSequence, metadata_.mpegFlagA())
            .boolean(tags::mpeg4ConstantBVops, metadata_.mpegFlagB())
            .u8(tags::mpeg4CodedContentType, progressive ? 1 : 2)
            .boolean(tags::mpeg4LowDelay, metadata_.mpegFlagC())
            .boolean(tags::mpeg4ClosedGov, metadata_.mpegFlagD())
            .boolean(tags::mpeg4IdenticalGov, metadata_.mpegFlagE())
            .u16(tags::mpeg4MaxGov, metadata_.mpegValueA())
            .u16(tags::mpeg4BVopCount, metadata_.mpegValueB())
            .u8(tags::mpeg4ProfileAndLevel, metadata_.profileAndLevel())
            .u32(tags::mpeg4BitRate, uint32_t(metadata_.bitRate()))
            .appendTo(out_);
    }

    void appendSoundDescriptor(const Uuid &descriptor, uint32_t channel) {
        SMDKRational rate = metadata_.soundSamplingRate(channel);
        if (rate.numerator <= 0 || rate.denominator <= 0)
            rate = {int32_t(defaultAudioSamplingRate), 1};
        const int32_t bits = metadata_.soundBitsPerSample();
        const uint16_t blockAlign = uint16_t((bits + 7) / 8);
        const SMDKChannelStatus status = metadata_.channelStatus(channel);
        const uint8_t statusMode = fixedChannelStatus;
        LocalSet(keys::aes3Descriptor)
            .label(tags::instanceUid, descriptor)
            .u32(tags::linkedTrackId, soundTrackId(channel))
            .rational(tags::sampleRate, editRate_)
            .i64(tags::containerDuration, duration_)
            .label(tags::essenceContainer, labels::aes3FrameWrapped)
            .rational(tags::audioSamplingRate, rate)
            .boolean(tags::locked, metadata_.extraFlag())
            .u32(tags::channelCount, 1)
            .u32(tags::quantizationBits, uint32_t(bits))
            .u16(tags::blockAlign, blockAlign)
            .u32(tags::averageBytesPerSecond,
                 uint32_t(int64_t(rate.numerator) / rate.denominator * blockAlign))
            .u8(tags::emphasis, emphasisOf(status[0]))
            .array(tags::channelStatusMode, 1, 1, std::span(&statusMode, 1))
            .array(tags::fixedChannelStatusData, 1, uint32_t(status.size()), status)
            .appendTo(out_);
    }

    const SMDKMasterMetadata &metadata_;
    InstanceUids uids_;
    int64_t duration_;
    SMDKRational editRate_;
    int32_t channels_;
    std::vector<uint8_t> out_;
};

} // namespace

std::vector<uint8_t> encodeHeaderMetadata(const SMDKMasterMetadata &metadata, const Uuid &uidBase,
                                          int64_t duration) {
    return Coder(metadata, uidBase, duration).encode();
}

} // namespace smdk
