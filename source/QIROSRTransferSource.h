#pragma once

// The source through which the MXF library pulls one clip: its package metadata, the essence of each edit
// unit and a time stamp per edit unit. The writer thread pushes views of its own buffers in, edit unit by
// edit unit; no essence byte is copied. Everything runs on the writer thread: the writer calls the setters
// and advance(), the library calls the getters from inside the driver's write.
//
// States: constructed (position -1); initialised (0, after initialize()); delivering (>= 1, after each
// advance()); ended (-1, the advance() after markEnd()). A broken precondition throws
// util::assertion_failure with the condition's text.

#include "mxf/IdentificationRecord.h"
#include "mxf/SMDKSource.h"
#include "mxf/UMID.h"
#include "recorder/SRFileInfo.h"
#include "source/QIROSimpleSourceBuffer.h"
#include "source/SMDKDefaultMetadata.h"

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <vector>

class QIROSRTransferSource : public SMDKSource {
public:
    // Copies both records; the source is not initialised yet.
    QIROSRTransferSource(const IdentificationRecord &identification, const SRFileInfo &fileInfo);

    // Guard "is initialized".
    boost::shared_ptr<SMDKMasterMetadata> packageMetadata() const override;
    // Guard "is initialized"; always null.
    boost::shared_ptr<void> auxiliaryObject() const override;
    bool queryFlagA() const override { return false; }
    // True only for metadata version 0x103 or later, MPEG HD essence, mpegFlagA clear and a known duration.
    bool metadataCondition() const override;
    bool queryFlagB() const override { return false; }
    // Always throws "is seekable": the essence arrives once, in order.
    void seek(int64_t editUnit) override;
    // Guard "is initialized" (a failure leaves the source uninitialised). True and one edit unit further,
    // or false and ended after markEnd().
    bool advance() override;
    // Guard "has data": 0x81 (SMPTE 12M time code), the time stamp value's eight bytes little-endian, eight
    // zero bytes.
    SMDKUserTimestamp userTimestamp() const override;
    // Guard "has data": the MXF library's package metadata items for the source package UMID.
    SMDKMetadataItems packageMetadataItems() const override;
    // Guard "has data": always empty.
    SMDKMetadataItems editUnitMetadataItems() const override;
    // Guards "has data" and the essence kind ("has D-10 essence", ...). The picture view, or for
    // d10SoundEssence the first sound view.
    boost::shared_ptr<SMDKSourceBuffer> d10PictureEssence() const override;
    boost::shared_ptr<SMDKSourceBuffer> d10SoundEssence() const override;
    boost::shared_ptr<SMDKSourceBuffer> dvEssence() const override;
    boost::shared_ptr<SMDKSourceBuffer> mpegHdEssence() const override;
    boost::shared_ptr<SMDKSourceBuffer> veroRawEssence() const override;
    // Guards "has data", "has AES3 essence" and "valid channel".
    boost::shared_ptr<SMDKSourceBuffer> aes3Essence(uint32_t channel) const override;
    // The data item view; null before initialize().
    boost::shared_ptr<SMDKSourceBuffer> dataEssence() const override;

    // Builds the package metadata from the clip, the package UMIDs from the clip's identifier and one empty
    // view for the picture, the data item and each sound channel, then moves to position 0. On an exception
    // the source stays uninitialised and keeps its earlier metadata and views.
    virtual void initialize();
    // The material package's user comments (see SMDKMasterMetadata::userComments); they take effect at the
    // next initialize().
    void setUserComments(std::vector<SMDKUserComment> comments) { userComments = std::move(comments); }

    // The writer's side is virtual so that a test can watch what the writer pushes, and in which order.
    // The view setters point a view at the writer's bytes, which must stay unchanged until the driver's
    // write of the edit unit has returned. A view keeps pointing there until it is set again, so every edit
    // unit sets every view the library reads. They, markEnd() and soundSamplesForEditUnit() need what
    // initialize() built ("is initialized"), and still work once the source has ended.
    virtual void setPictureData(const uint8_t *data, uint32_t size);
    // Also guard "valid channel": channel below the clip's sound channel count.
    virtual void setSoundData(uint32_t channel, const uint8_t *data, uint32_t size);
    virtual void setDataItem(const uint8_t *data, uint32_t size);
    // Stores the time stamp of the next edit unit; needs no initialisation.
    virtual void setTimestamp(uint64_t value);
    // Ends the clip after `count` edit units: the metadata's duration becomes count, and the next advance()
    // returns false.
    virtual void markEnd(uint32_t count);

    // Sound samples per channel in the edit unit about to be pushed (the current position), so that the
    // counts add up exactly to the sampling rate; 0 without sound channels. Guard "valid edit rate". On an
    // ended source (position -1) it counts edit unit 0 and moves the position there.
    virtual uint16_t soundSamplesForEditUnit();

    // The UMID that labels the source package's metadata items.
    const UMID &packageUmid() const { return packageUmid_; }

private:
    void requireInitialized() const;
    void requireData() const;
    void requireSetUp() const;
    int32_t essenceKind() const;

    bool endReached = false;
    IdentificationRecord identification;
    SRFileInfo fileInfo;
    std::vector<SMDKUserComment> userComments;
    boost::shared_ptr<SMDKDefaultMetadata> metadata;
    int64_t position = -1;
    uint64_t timestampValue = 0;
    UMID packageUmid_;
    boost::shared_ptr<QIROSimpleSourceBuffer> pictureView;
    std::vector<boost::shared_ptr<QIROSimpleSourceBuffer>> soundViews;
    boost::shared_ptr<QIROSimpleSourceBuffer> dataItemView;
};
