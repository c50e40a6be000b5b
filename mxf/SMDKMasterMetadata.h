#pragma once

// The MXF library's interface to a file's package metadata: who wrote the file, the packages' names and
// identifiers, the picture and sound descriptors, time code and duration. Getters only, no side effects;
// called on the thread that drives the library.

#include "mxf/IdentificationRecord.h"
#include "mxf/SMDKTypes.h"
#include "mxf/UMID.h"

#include <cstdint>
#include <string>
#include <vector>

// Values of essenceKind(): the kind of picture essence a file carries.
inline constexpr int32_t kEssenceKindD10 = 0;
inline constexpr int32_t kEssenceKindDv = 1;
inline constexpr int32_t kEssenceKindMpegHd = 2;
inline constexpr int32_t kEssenceKindVeroRaw = 4;

class SMDKMasterMetadata {
public:
    virtual ~SMDKMasterMetadata() = default;

    // Version of this metadata layout; 0x103 and above carries every value below.
    virtual uint16_t metadataVersion() const = 0;
    virtual IdentificationRecord identificationInfo() const = 0;
    // Creation and modification date-times of the material.
    virtual SMDKDateTime firstTimestamp() const = 0;
    virtual SMDKDateTime secondTimestamp() const = 0;
    // One of the kEssenceKind values; -1 when not set.
    virtual int32_t essenceKind() const = 0;
    virtual UMID firstPackageUmid() const = 0;
    virtual UMID secondPackageUmid() const = 0;
    // Package name, UTF-16 code units.
    virtual std::u16string packageName() const = 0;
    // Edit units per second.
    virtual SMDKRational editRate() const = 0;
    // Picture essence bit rate, bits per second.
    virtual int32_t bitRate() const = 0;
    virtual bool isProgressive() const = 0;
    // Stored width and height of one field (interlaced) or frame, in pixels and lines.
    virtual SMDKPair storedSize() const = 0;
    // First active line of each field; the second is 0 for progressive pictures.
    virtual SMDKPair videoLineMap() const = 0;
    virtual SMDKPair aspectRatio() const = 0;
    // True for 4:4:4 pictures.
    virtual bool isFullChroma() const = 0;
    // Bits per picture component.
    virtual int32_t componentDepth() const = 0;
    // Horizontal and vertical chroma subsampling factors.
    virtual SMDKPair chromaSubsampling() const = 0;
    // Values that accompany the profile-and-level code.
    virtual bool mpegFlagA() const = 0;
    virtual bool mpegFlagB() const = 0;
    virtual bool mpegFlagC() const = 0;
    virtual bool mpegFlagD() const = 0;
    virtual bool mpegFlagE() const = 0;
    virtual bool mpegFlagF() const = 0;
    virtual uint16_t mpegValueA() const = 0;
    virtual uint16_t mpegValueB() const = 0;
    // MPEG-4 Visual profile-and-level indication.
    virtual uint8_t profileAndLevel() const = 0;
    virtual uint8_t mpegValueC() const = 0;
    virtual int32_t soundChannelCount() const = 0;
    virtual int32_t soundBitsPerSample() const = 0;
    // Sampling rate of a sound channel, samples per second; 0/1 for a channel beyond the last.
    virtual SMDKRational soundSamplingRate(uint32_t channel) const = 0;
    // AES3 channel status of a sound channel; 01 and 23 zero bytes for a channel beyond the last.
    virtual SMDKChannelStatus channelStatus(uint32_t channel) const = 0;
    virtual bool extraFlag() const = 0;
    virtual bool isDropFrame() const = 0;
    // Start time code as a frame count at the edit rate.
    virtual int64_t startTimecode() const = 0;
    virtual int64_t offsetValue() const = 0;
    // Number of edit units; -1 when unknown.
    virtual int64_t duration() const = 0;
    virtual int32_t trailingValueA() const = 0;
    virtual int32_t trailingValueB() const = 0;
    // The material package's user comments, in the order they are written; none unless the system gives
    // some. Each name is unique; the library writes them as given.
    virtual std::vector<SMDKUserComment> userComments() const { return {}; }
};
