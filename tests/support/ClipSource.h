#pragma once

// A source for MXF file tests: a clip's metadata set directly by the test and essence views pointed at the
// test's own buffers, edit unit by edit unit, as the writer thread does with the transfer source.

#include "mxf/SMDKLibrary.h"
#include "mxf/SMDKMasterMetadata.h"
#include "mxf/SMDKSource.h"

#include <boost/make_shared.hpp>
#include <span>
#include <stdexcept>
#include <vector>

struct ClipMetadata : SMDKMasterMetadata {
    IdentificationRecord identification;
    SMDKDateTime created{2024, 5, 6, 7, 8, 9, 50};
    SMDKDateTime modified{2024, 5, 7, 10, 11, 12, 0};
    UMID materialUmid;
    UMID fileUmid;
    std::u16string name = u"clip";
    SMDKRational rate{25, 1};
    bool progressive = true;
    int32_t depth = 10;
    bool fullChroma = false;
    uint8_t profileLevel = 0xE2;
    int32_t channels = 0;
    // AES3 channel status byte 0 and sampling rate of every channel.
    uint8_t statusByte0 = 0x85;
    SMDKRational soundRate{48000, 1};
    bool dropFrame = false;
    int64_t start = 0;
    int64_t frames = -1;
    std::vector<SMDKUserComment> comments;

    uint16_t metadataVersion() const override { return 0x103; }
    IdentificationRecord identificationInfo() const override { return identification; }
    SMDKDateTime firstTimestamp() const override { return created; }
    SMDKDateTime secondTimestamp() const override { return modified; }
    int32_t essenceKind() const override { return kEssenceKindMpegHd; }
    UMID firstPackageUmid() const override { return materialUmid; }
    UMID secondPackageUmid() const override { return fileUmid; }
    std::u16string packageName() const override { return name; }
    SMDKRational editRate() const override { return rate; }
    int32_t bitRate() const override { return 450000000; }
    bool isProgressive() const override { return progressive; }
    SMDKPair storedSize() const override { return progressive ? SMDKPair{1920, 1080} : SMDKPair{1920, 540}; }
    SMDKPair videoLineMap() const override { return progressive ? SMDKPair{42, 0} : SMDKPair{21, 584}; }
    SMDKPair aspectRatio() const override { return {16, 9}; }
    bool isFullChroma() const override { return fullChroma; }
    int32_t componentDepth() const override { return depth; }
    SMDKPair chromaSubsampling() const override { return fullChroma ? SMDKPair{1, 1} : SMDKPair{2, 1}; }
    bool mpegFlagA() const override { return true; }
    bool mpegFlagB() const override { return true; }
    bool mpegFlagC() const override { return true; }
    bool mpegFlagD() const override { return true; }
    bool mpegFlagE() const override { return true; }
    bool mpegFlagF() const override { return true; }
    uint16_t mpegValueA() const override { return 1; }
    uint16_t mpegValueB() const override { return 0; }
    uint8_t profileAndLevel() const override { return profileLevel; }
    uint8_t mpegValueC() const override { return 0; }
    int32_t soundChannelCount() const override { return channels; }
    int32_t soundBitsPerSample() const override { return 24; }
    SMDKRational soundSamplingRate(uint32_t channel) const override {
        return int32_t(channel) < channels ? soundRate : SMDKRational{0, 1};
    }
    SMDKChannelStatus channelStatus(uint32_t channel) const override {
        SMDKChannelStatus status{};
        status[0] = int32_t(channel) < channels ? statusByte0 : 0x01;
        return status;
    }
    bool extraFlag() const override { return true; }
    bool isDropFrame() const override { return dropFrame; }
    int64_t startTimecode() const override { return start; }
    int64_t offsetValue() const override { return 0; }
    int64_t duration() const override { return frames; }
    int32_t trailingValueA() const override { return 1; }
    int32_t trailingValueB() const override { return 2; }
    std::vector<SMDKUserComment> userComments() const override { return comments; }
};

class ClipSource : public SMDKSource {
public:
    struct View : SMDKSourceBuffer {
        std::span<const uint8_t> bytes;
        const uint8_t *data() const override { return bytes.data(); }
        uint32_t size() const override { return uint32_t(bytes.size()); }
    };

    explicit ClipSource(boost::shared_ptr<ClipMetadata> metadata) : metadata_(std::move(metadata)) {
        for (int32_t k = 0; k < metadata_->channels; ++k)
            sound_.push_back(boost::make_shared<View>());
    }

    // Points the views at one edit unit's essence; the bytes must stay unchanged until it is written.
    void setEditUnit(std::span<const uint8_t> picture, const std::vector<std::span<const uint8_t>> &sound,
                     std::span<const uint8_t> data, const SMDKUserTimestamp &timestamp) {
        picture_->bytes = picture;
        for (size_t k = 0; k < sound_.size(); ++k)
            sound_[k]->bytes = sound.at(k);
        data_->bytes = data;
        timestamp_ = timestamp;
    }

    boost::shared_ptr<SMDKMasterMetadata> packageMetadata() const override { return metadata_; }
    boost::shared_ptr<void> auxiliaryObject() const override { return {}; }
    bool queryFlagA() const override { return false; }
    bool metadataCondition() const override { return false; }
    bool queryFlagB() const override { return false; }
    void seek(int64_t) override { throw std::logic_error("not seekable"); }
    bool advance() override { return true; }
    SMDKUserTimestamp userTimestamp() const override { return timestamp_; }
    SMDKMetadataItems packageMetadataItems() const override {
        return createSMDKPackageMetadata(metadata_->fileUmid, {});
    }
    SMDKMetadataItems editUnitMetadataItems() const override { return {}; }
    boost::shared_ptr<SMDKSourceBuffer> d10PictureEssence() const override { return {}; }
    boost::shared_ptr<SMDKSourceBuffer> d10SoundEssence() const override { return {}; }
    boost::shared_ptr<SMDKSourceBuffer> dvEssence() const override { return {}; }
    boost::shared_ptr<SMDKSourceBuffer> mpegHdEssence() const override { return picture_; }
    boost::shared_ptr<SMDKSourceBuffer> veroRawEssence() const override { return {}; }
    boost::shared_ptr<SMDKSourceBuffer> aes3Essence(uint32_t channel) const override {
        return sound_.at(channel);
    }
    boost::shared_ptr<SMDKSourceBuffer> dataEssence() const override { return data_; }

private:
    boost::shared_ptr<ClipMetadata> metadata_;
    boost::shared_ptr<View> picture_ = boost::make_shared<View>();
    std::vector<boost::shared_ptr<View>> sound_;
    boost::shared_ptr<View> data_ = boost::make_shared<View>();
    SMDKUserTimestamp timestamp_{};
};
