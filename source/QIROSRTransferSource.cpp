#include "source/QIROSRTransferSource.h"

#include "mxf/Assertion.h"
#include "mxf/PackageUmid.h"
#include "mxf/SMDKLibrary.h"
#include "source/CArrayCopy.h"
#include "source/ClipMetadata.h"
#include "source/SampleCadence.h"

#include <algorithm>
#include <boost/make_shared.hpp>

namespace {

// SMPTE 331M date/time stamp: type 0x81 (SMPTE 12M time code), then the time code data.
constexpr uint8_t timecodeStampType = 0x81;
constexpr size_t timestampValueOffset = 1;

// The seed of a clip's package UMIDs: eight zero bytes, then the clip's 24-byte identifier.
constexpr size_t seedIdentifierOffset = 8;

static_assert(kRawTailIdentifier + kClipIdentifierLength <= kRawTailSize);
static_assert(seedIdentifierOffset + kClipIdentifierLength == UMID::size);

UMID clipSeed(const SRFileInfo &info) {
    std::array<uint8_t, UMID::size> bytes{};
    std::copy_n(info.rawTail.begin() + kRawTailIdentifier, kClipIdentifierLength,
                bytes.begin() + seedIdentifierOffset);
    return UMID::fromBytes(bytes);
}

} // namespace

QIROSRTransferSource::QIROSRTransferSource(const IdentificationRecord &identification,
                                           const SRFileInfo &fileInfo)
    : identification(identification), fileInfo(fileInfo) {}

boost::shared_ptr<SMDKMasterMetadata> QIROSRTransferSource::packageMetadata() const {
    requireInitialized();
    return metadata;
}

boost::shared_ptr<void> QIROSRTransferSource::auxiliaryObject() const {
    requireInitialized();
    return {};
}

bool QIROSRTransferSource::metadataCondition() const {
    requireSetUp();
    return metadata->metadataVersion() >= kMetadataVersion && metadata->essenceKind() == kEssenceKindMpegHd &&
           !metadata->mpegFlagA() && metadata->duration() != -1;
}

void QIROSRTransferSource::seek(int64_t) {
    throw util::assertion_failure("is seekable");
}

bool QIROSRTransferSource::advance() {
    if (position < 0) {
        position = -1;
        throw util::assertion_failure("is initialized");
    }
    if (endReached) {
        position = -1;
        return false;
    }
    ++position;
    return true;
}

SMDKUserTimestamp QIROSRTransferSource::userTimestamp() const {
    requireData();
    std::array<uint8_t, sizeof timestampValue> value{};
    for (size_t i = 0; i < value.size(); ++i)
        value[i] = uint8_t(timestampValue >> (8 * i));
    SMDKUserTimestamp stamp{timecodeStampType};
    carray_copy_offset(stamp, timestampValueOffset, value);
    return stamp;
}

SMDKMetadataItems QIROSRTransferSource::packageMetadataItems() const {
    requireData();
    return createSMDKPackageMetadata(packageUmid_, std::vector<unsigned char>());
}

SMDKMetadataItems QIROSRTransferSource::editUnitMetadataItems() const {
    requireData();
    return {};
}

boost::shared_ptr<SMDKSourceBuffer> QIROSRTransferSource::d10PictureEssence() const {
    requireData();
    util::require(essenceKind() == kEssenceKindD10, "has D-10 essence");
    return pictureView;
}

boost::shared_ptr<SMDKSourceBuffer> QIROSRTransferSource::d10SoundEssence() const {
    requireData();
    util::require(essenceKind() == kEssenceKindD10, "has D-10 essence");
    util::require(!soundViews.empty(), "valid channel");
    return soundViews.front();
}

boost::shared_ptr<SMDKSourceBuffer> QIROSRTransferSource::dvEssence() const {
    requireData();
    util::require(essenceKind() == kEssenceKindDv, "has DV essence");
    return pictureView;
}

boost::shared_ptr<SMDKSourceBuffer> QIROSRTransferSource::mpegHdEssence() const {
    requireData();
    util::require(essenceKind() == kEssenceKindMpegHd, "has MPEG HD essence");
    return pictureView;
}

boost::shared_ptr<SMDKSourceBuffer> QIROSRTransferSource::veroRawEssence() const {
    requireData();
    util::require(essenceKind() == kEssenceKindVeroRaw, "has Vero Raw essence");
    return pictureView;
}

boost::shared_ptr<SMDKSourceBuffer> QIROSRTransferSource::aes3Essence(uint32_t channel) const {
    requireData();
    const int32_t kind = essenceKind();
    util::require(kind == kEssenceKindDv || kind == kEssenceKindMpegHd || kind == kEssenceKindVeroRaw,
                  "has AES3 essence");
    util::require(channel < soundViews.size(), "valid channel");
    return soundViews[channel];
}

boost::shared_ptr<SMDKSourceBuffer> QIROSRTransferSource::dataEssence() const {
    return dataItemView;
}

void QIROSRTransferSource::initialize() {
    position = -1;
    auto filled = boost::make_shared<SMDKDefaultMetadata>(identification);
    fillFromClipInfo(filled->values, fileInfo);
    filled->values.userComments = userComments;

    auto newDataItemView = boost::make_shared<QIROSimpleSourceBuffer>();
    auto newPictureView = boost::make_shared<QIROSimpleSourceBuffer>();
    std::vector<boost::shared_ptr<QIROSimpleSourceBuffer>> newSoundViews;
    for (int32_t channel = 0; channel < filled->values.soundChannelCount; ++channel)
        newSoundViews.push_back(boost::make_shared<QIROSimpleSourceBuffer>());

    // The builders see only the clip's identifier, so every transfer of a clip gets the same UMIDs.
    SMDKDefaultMetadata scratch;
    scratch.values.secondPackageUmid = deriveClipUmid(clipSeed(fileInfo));
    filled->values.secondPackageUmid = scratch.values.secondPackageUmid;
    filled->values.firstPackageUmid = deriveFirstPackageUmid(scratch);
    const UMID sourcePackageUmid = deriveSourcePackageUmid(scratch);

    metadata = std::move(filled);
    dataItemView = std::move(newDataItemView);
    pictureView = std::move(newPictureView);
    soundViews = std::move(newSoundViews);
    packageUmid_ = sourcePackageUmid;
    endReached = false;
    position = 0;
}

void QIROSRTransferSource::setPictureData(const uint8_t *data, uint32_t size) {
    requireSetUp();
    pictureView->dataPointer = data;
    pictureView->byteCount = size;
}

void QIROSRTransferSource::setSoundData(uint32_t channel, const uint8_t *data, uint32_t size) {
    requireSetUp();
    util::require(channel < soundViews.size(), "valid channel");
    soundViews[channel]->dataPointer = data;
    soundViews[channel]->byteCount = size;
}

void QIROSRTransferSource::setDataItem(const uint8_t *data, uint32_t size) {
    requireSetUp();
    dataItemView->dataPointer = data;
    dataItemView->byteCount = size;
}

void QIROSRTransferSource::setTimestamp(uint64_t value) {
    timestampValue = value;
}

void QIROSRTransferSource::markEnd(uint32_t count) {
    requireSetUp();
    metadata->values.duration = count;
    endReached = true;
}

uint16_t QIROSRTransferSource::soundSamplesForEditUnit() {
    requireSetUp();
    if (metadata->soundChannelCount() == 0)
        return 0;
    // Before the first advance() after the end the position is -1; the count is then that of edit unit 0.
    const int64_t current = position < 0 ? ~position : position;
    const uint16_t samples =
        soundSamplesInEditUnit(current, metadata->editRate(), metadata->soundSamplingRate(0));
    position = current;
    return samples;
}

void QIROSRTransferSource::requireInitialized() const {
    util::require(position >= 0, "is initialized");
}

void QIROSRTransferSource::requireData() const {
    util::require(position >= 1, "has data");
}

// The setters and the operations that read the metadata need what initialize() builds; after the end they
// still work, as the metadata and views remain.
void QIROSRTransferSource::requireSetUp() const {
    util::require(metadata != nullptr, "is initialized");
}

int32_t QIROSRTransferSource::essenceKind() const {
    return metadata->essenceKind();
}
