#pragma once

// The package metadata of one clip: a plain set of values with one getter each. The transfer source fills
// the values once per clip and later changes only the duration; the MXF library reads them through the
// getters on the same thread.

#include "mxf/SMDKMasterMetadata.h"

#include <cstdint>
#include <string>
#include <vector>

// The values behind the getters, with the defaults of a fresh metadata object.
struct SMDKMetadataValues {
    uint16_t metadataVersion = 0;
    IdentificationRecord identificationInfo;
    SMDKDateTime firstTimestamp;
    SMDKDateTime secondTimestamp;
    int32_t essenceKind = -1;
    UMID firstPackageUmid{materialTypeOfPackage};
    UMID secondPackageUmid{materialTypeOfPackage};
    std::u16string packageName;
    SMDKRational editRate;
    int32_t bitRate = 0;
    bool isProgressive = false;
    SMDKPair storedSize;
    SMDKPair videoLineMap;
    SMDKPair aspectRatio;
    bool isFullChroma = false;
    int32_t componentDepth = 0;
    SMDKPair chromaSubsampling;
    bool mpegFlagA = false;
    bool mpegFlagB = false;
    bool mpegFlagC = false;
    bool mpegFlagD = false;
    bool mpegFlagE = false;
    bool mpegFlagF = false;
    uint16_t mpegValueA = 0;
    uint16_t mpegValueB = 0;
    uint8_t profileAndLevel = 0;
    uint8_t mpegValueC = 0;
    int32_t soundChannelCount = 0;
    int32_t soundBitsPerSample = 0;
    std::vector<SMDKRational> soundSamplingRates;
    std::vector<SMDKChannelStatus> channelStatuses;
    bool extraFlag = false;
    bool isDropFrame = false;
    int64_t startTimecode = 0;
    int64_t offsetValue = 0;
    int64_t duration = -1;
    int32_t trailingValueA = 1;
    int32_t trailingValueB = 2;
    std::vector<SMDKUserComment> userComments;

    // Material type of a fresh package UMID (0x0D).
    static constexpr uint8_t materialTypeOfPackage = 0x0D;
};

class SMDKDefaultMetadata final : public SMDKMasterMetadata {
public:
    SMDKDefaultMetadata() = default;
    explicit SMDKDefaultMetadata(const IdentificationRecord &identification);

    // Written by the transfer source; read by the MXF library through the getters.
    SMDKMetadataValues values;

    uint16_t metadataVersion() const override { return values.metadataVersion; }
    IdentificationRecord identificationInfo() const override { return values.identificationInfo; }
    SMDKDateTime firstTimestamp() const override { return values.firstTimestamp; }
    SMDKDateTime secondTimestamp() const override { return values.secondTimestamp; }
    int32_t essenceKind() const override { return values.essenceKind; }
    UMID firstPackageUmid() const override { return values.firstPackageUmid; }
    UMID secondPackageUmid() const override { return values.secondPackageUmid; }
    std::u16string packageName() const override { return values.packageName; }
    SMDKRational editRate() const override { return values.editRate; }
    int32_t bitRate() const override { return values.bitRate; }
    bool isProgressive() const override { return values.isProgressive; }
    SMDKPair storedSize() const override { return values.storedSize; }
    SMDKPair videoLineMap() const override { return values.videoLineMap; }
    SMDKPair aspectRatio() const override { return values.aspectRatio; }
    bool isFullChroma() const override { return values.isFullChroma; }
    int32_t componentDepth() const override { return values.componentDepth; }
    SMDKPair chromaSubsampling() const override { return values.chromaSubsampling; }
    bool mpegFlagA() const override { return values.mpegFlagA; }
    bool mpegFlagB() const override { return values.mpegFlagB; }
    bool mpegFlagC() const override { return values.mpegFlagC; }
    bool mpegFlagD() const override { return values.mpegFlagD; }
    bool mpegFlagE() const override { return values.mpegFlagE; }
    bool mpegFlagF() const override { return values.mpegFlagF; }
    uint16_t mpegValueA() const override { return values.mpegValueA; }
    uint16_t mpegValueB() const override { return values.mpegValueB; }
    uint8_t profileAndLevel() const override { return values.profileAndLevel; }
    uint8_t mpegValueC() const override { return values.mpegValueC; }
    int32_t soundChannelCount() const override { return values.soundChannelCount; }
    int32_t soundBitsPerSample() const override { return values.soundBitsPerSample; }
    SMDKRational soundSamplingRate(uint32_t channel) const override;
    SMDKChannelStatus channelStatus(uint32_t channel) const override;
    bool extraFlag() const override { return values.extraFlag; }
    bool isDropFrame() const override { return values.isDropFrame; }
    int64_t startTimecode() const override { return values.startTimecode; }
    int64_t offsetValue() const override { return values.offsetValue; }
    int64_t duration() const override { return values.duration; }
    int32_t trailingValueA() const override { return values.trailingValueA; }
    int32_t trailingValueB() const override { return values.trailingValueB; }
    std::vector<SMDKUserComment> userComments() const override { return values.userComments; }
};
