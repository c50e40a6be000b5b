#pragma once

// The MXF library's source of one file: package metadata, the essence of each edit unit and its time stamp.
// The library pulls everything through these operations from inside its write of an edit unit, on the thread
// that drives it. A broken precondition throws util::assertion_failure.

#include "mxf/SMDKMasterMetadata.h"
#include "mxf/SMDKSourceBuffer.h"
#include "mxf/SMDKTypes.h"

#include <boost/shared_ptr.hpp>
#include <cstdint>

class SMDKSource {
public:
    virtual ~SMDKSource() = default;

    // The file's package metadata, shared with the source.
    virtual boost::shared_ptr<SMDKMasterMetadata> packageMetadata() const = 0;
    // An auxiliary object; null when the source has none.
    virtual boost::shared_ptr<void> auxiliaryObject() const = 0;
    virtual bool queryFlagA() const = 0;
    // A yes/no answer about the metadata, derived from its values, that the library may act on.
    virtual bool metadataCondition() const = 0;
    virtual bool queryFlagB() const = 0;
    // Moves to an edit unit; a source that cannot seek throws.
    virtual void seek(int64_t editUnit) = 0;
    // Moves to the next edit unit; false once the source has ended.
    virtual bool advance() = 0;
    // SMPTE 331M date/time stamp of the current edit unit.
    virtual SMDKUserTimestamp userTimestamp() const = 0;
    // Package metadata items of the current edit unit's system item.
    virtual SMDKMetadataItems packageMetadataItems() const = 0;
    // Further metadata items of the current edit unit.
    virtual SMDKMetadataItems editUnitMetadataItems() const = 0;
    // Picture or sound essence of the current edit unit, by essence kind; each throws when the source does
    // not carry that kind. The buffers are shared with the source and stay valid while held.
    virtual boost::shared_ptr<SMDKSourceBuffer> d10PictureEssence() const = 0;
    virtual boost::shared_ptr<SMDKSourceBuffer> d10SoundEssence() const = 0;
    virtual boost::shared_ptr<SMDKSourceBuffer> dvEssence() const = 0;
    virtual boost::shared_ptr<SMDKSourceBuffer> mpegHdEssence() const = 0;
    virtual boost::shared_ptr<SMDKSourceBuffer> veroRawEssence() const = 0;
    // AES3 sound essence of one channel (0-based) of the current edit unit: 24-bit samples, three bytes each.
    virtual boost::shared_ptr<SMDKSourceBuffer> aes3Essence(uint32_t channel) const = 0;
    // Data item of the current edit unit; empty when the clip carries none, null before the source is set up.
    virtual boost::shared_ptr<SMDKSourceBuffer> dataEssence() const = 0;
};
