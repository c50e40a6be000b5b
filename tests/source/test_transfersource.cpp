#include "mxf/Assertion.h"
#include "source/CArrayCopy.h"
#include "source/QIROSRTransferSource.h"
#include "tests/source/ClipInfoFixture.h"
#include "tests/support/AssertionMessage.h"

#include <gtest/gtest.h>

namespace {

using testsupport::assertionMessage;

IdentificationRecord identification() {
    IdentificationRecord record;
    record.companyName = u"Company";
    record.productName = u"Product";
    record.productVersion = {1, 0, 0, 0, 1};
    record.versionString = u"1.0";
    record.productUID[2] = 0x13;
    return record;
}

class TransferSourceTest : public ::testing::Test {
protected:
    void initialize() { source.initialize(); }
    void initializeAndAdvance() {
        source.initialize();
        ASSERT_TRUE(source.advance());
    }

    SRFileInfo info = clipInfo();
    QIROSRTransferSource source{identification(), info};
};

} // namespace

TEST(CArrayCopy, CopiesWithinTheArray) {
    std::array<uint8_t, 17> array{};
    const std::array<uint8_t, 8> bytes{1, 2, 3, 4, 5, 6, 7, 8};
    carray_copy_offset(array, 1, bytes);
    EXPECT_EQ(array, (std::array<uint8_t, 17>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    carray_copy_offset(array, 9, bytes);
    EXPECT_EQ(array[16], 8);
}

TEST(CArrayCopy, RangeBeyondTheArrayFailsAndCopiesNothing) {
    std::array<uint8_t, 17> array{};
    const std::array<uint8_t, 8> bytes{1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(assertionMessage([&] { carray_copy_offset(array, 10, bytes); }),
              "assertion failure: valid carray_copy_offset() parameters");
    EXPECT_EQ(assertionMessage([&] { carray_copy_offset(array, 18, std::span<const uint8_t>()); }),
              "assertion failure: valid carray_copy_offset() parameters");
    EXPECT_EQ(assertionMessage([&] { carray_copy_offset(array, SIZE_MAX, bytes); }),
              "assertion failure: valid carray_copy_offset() parameters");
    EXPECT_EQ(array, (std::array<uint8_t, 17>{}));
}

TEST_F(TransferSourceTest, BeforeInitializeOnlyFlagsAndDataEssenceAnswer) {
    EXPECT_FALSE(source.queryFlagA());
    EXPECT_FALSE(source.queryFlagB());
    EXPECT_EQ(source.dataEssence(), nullptr);
    EXPECT_EQ(assertionMessage([&] { source.packageMetadata(); }), "assertion failure: is initialized");
    EXPECT_EQ(assertionMessage([&] { source.auxiliaryObject(); }), "assertion failure: is initialized");
    EXPECT_EQ(assertionMessage([&] { source.advance(); }), "assertion failure: is initialized");
    EXPECT_EQ(assertionMessage([&] { source.userTimestamp(); }), "assertion failure: has data");
    EXPECT_EQ(assertionMessage([&] { source.mpegHdEssence(); }), "assertion failure: has data");
    // What needs the metadata fails cleanly instead of reaching for metadata that is not there yet.
    EXPECT_EQ(assertionMessage([&] { source.setPictureData(nullptr, 0); }),
              "assertion failure: is initialized");
    EXPECT_EQ(assertionMessage([&] { source.markEnd(1); }), "assertion failure: is initialized");
    EXPECT_EQ(assertionMessage([&] { source.soundSamplesForEditUnit(); }),
              "assertion failure: is initialized");
    EXPECT_EQ(assertionMessage([&] { source.metadataCondition(); }), "assertion failure: is initialized");
}

TEST_F(TransferSourceTest, InitializeBuildsMetadataAndEmptyViews) {
    initialize();
    const auto metadata = source.packageMetadata();
    ASSERT_NE(metadata, nullptr);
    EXPECT_EQ(metadata->identificationInfo(), identification());
    EXPECT_EQ(metadata->essenceKind(), 2);
    EXPECT_EQ(metadata->duration(), 300);
    EXPECT_EQ(metadata->soundChannelCount(), 2);
    EXPECT_EQ(source.auxiliaryObject(), nullptr);
    EXPECT_FALSE(source.metadataCondition());
    ASSERT_TRUE(source.advance());
    for (const auto &view :
         {source.mpegHdEssence(), source.aes3Essence(0), source.aes3Essence(1), source.dataEssence()}) {
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->data(), nullptr);
        EXPECT_EQ(view->size(), 0u);
    }
}

TEST_F(TransferSourceTest, GettersNeedOneAdvance) {
    initialize();
    EXPECT_EQ(assertionMessage([&] { source.userTimestamp(); }), "assertion failure: has data");
    EXPECT_EQ(assertionMessage([&] { source.packageMetadataItems(); }), "assertion failure: has data");
    EXPECT_EQ(assertionMessage([&] { source.editUnitMetadataItems(); }), "assertion failure: has data");
    EXPECT_EQ(assertionMessage([&] { source.mpegHdEssence(); }), "assertion failure: has data");
    EXPECT_EQ(assertionMessage([&] { source.aes3Essence(0); }), "assertion failure: has data");
    EXPECT_EQ(assertionMessage([&] { source.d10PictureEssence(); }), "assertion failure: has data");
    ASSERT_TRUE(source.advance());
    EXPECT_EQ(assertionMessage([&] { source.userTimestamp(); }), "no failure");
    EXPECT_EQ(assertionMessage([&] { source.mpegHdEssence(); }), "no failure");
    EXPECT_EQ(assertionMessage([&] { source.aes3Essence(1); }), "no failure");
    EXPECT_TRUE(source.editUnitMetadataItems().empty());
}

TEST_F(TransferSourceTest, EssenceGettersCheckKindAndChannel) {
    initializeAndAdvance();
    EXPECT_EQ(assertionMessage([&] { source.d10PictureEssence(); }), "assertion failure: has D-10 essence");
    EXPECT_EQ(assertionMessage([&] { source.d10SoundEssence(); }), "assertion failure: has D-10 essence");
    EXPECT_EQ(assertionMessage([&] { source.dvEssence(); }), "assertion failure: has DV essence");
    EXPECT_EQ(assertionMessage([&] { source.veroRawEssence(); }), "assertion failure: has Vero Raw essence");
    EXPECT_EQ(assertionMessage([&] { source.aes3Essence(2); }), "assertion failure: valid channel");
    EXPECT_EQ(assertionMessage([&] { source.seek(0); }), "assertion failure: is seekable");
}

TEST_F(TransferSourceTest, SettersPointViewsAtTheWritersBytes) {
    initialize();
    const std::array<uint8_t, 6> picture{1, 2, 3, 4, 5, 6};
    const std::array<uint8_t, 3> sound0{7, 8, 9};
    const std::array<uint8_t, 3> sound1{10, 11, 12};
    const std::array<uint8_t, 2> item{13, 14};
    source.setPictureData(picture.data(), picture.size());
    source.setSoundData(0, sound0.data(), sound0.size());
    source.setSoundData(1, sound1.data(), sound1.size());
    source.setDataItem(item.data(), item.size());
    ASSERT_TRUE(source.advance());
    EXPECT_EQ(source.mpegHdEssence()->data(), picture.data());
    EXPECT_EQ(source.mpegHdEssence()->size(), 6u);
    EXPECT_EQ(source.aes3Essence(0)->data(), sound0.data());
    EXPECT_EQ(source.aes3Essence(1)->data(), sound1.data());
    EXPECT_EQ(source.aes3Essence(1)->size(), 3u);
    EXPECT_EQ(source.dataEssence()->data(), item.data());
    EXPECT_EQ(source.dataEssence()->size(), 2u);
    EXPECT_EQ(assertionMessage([&] { source.setSoundData(2, sound0.data(), 3); }),
              "assertion failure: valid channel");
}

TEST_F(TransferSourceTest, ViewOutlivesTheSource) {
    const std::array<uint8_t, 4> picture{1, 2, 3, 4};
    boost::shared_ptr<SMDKSourceBuffer> held;
    {
        QIROSRTransferSource shortLived(identification(), info);
        shortLived.initialize();
        shortLived.setPictureData(picture.data(), picture.size());
        ASSERT_TRUE(shortLived.advance());
        held = shortLived.mpegHdEssence();
    }
    EXPECT_EQ(held->data(), picture.data());
    EXPECT_EQ(held->size(), 4u);
}

TEST_F(TransferSourceTest, UserTimestampCarriesValueBytesAfterType) {
    initializeAndAdvance();
    source.setTimestamp(0x78563412);
    EXPECT_EQ(source.userTimestamp(), (SMDKUserTimestamp{0x81, 0x12, 0x34, 0x56, 0x78}));
    source.setTimestamp(0x0102030405060708);
    EXPECT_EQ(source.userTimestamp(), (SMDKUserTimestamp{0x81, 8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_F(TransferSourceTest, MarkEndSetsTheDurationToTheCountAndEndsAtNextAdvance) {
    initializeAndAdvance();
    // A stopped transfer's count differs from the clip's 300 frames; 0 when nothing was written.
    for (const uint32_t count : {120u, 0u, 300u}) {
        source.markEnd(count);
        EXPECT_EQ(source.packageMetadata()->duration(), int64_t(count));
    }
    EXPECT_FALSE(source.advance());
    EXPECT_EQ(assertionMessage([&] { source.packageMetadata(); }), "assertion failure: is initialized");
    EXPECT_EQ(assertionMessage([&] { source.mpegHdEssence(); }), "assertion failure: has data");
    EXPECT_EQ(assertionMessage([&] { source.advance(); }), "assertion failure: is initialized");
}

TEST_F(TransferSourceTest, InitializeAgainStartsOver) {
    initializeAndAdvance();
    source.markEnd(1);
    source.initialize();
    EXPECT_EQ(source.packageMetadata()->duration(), 300);
    EXPECT_TRUE(source.advance());
    EXPECT_EQ(assertionMessage([&] { source.aes3Essence(2); }), "assertion failure: valid channel");
}

TEST_F(TransferSourceTest, PackageUmidsFollowTheClipIdentifier) {
    info.rawTail[kRawTailIdentifier + 8] = 0x40; // seed byte 16, first byte of the material number
    QIROSRTransferSource first(identification(), info);
    QIROSRTransferSource second(identification(), info);
    first.initialize();
    second.initialize();
    const auto metadata = first.packageMetadata();
    EXPECT_EQ(metadata->secondPackageUmid().bytes[16], 0x40);
    EXPECT_EQ(metadata->firstPackageUmid().bytes[16], 0x41);
    EXPECT_EQ(first.packageUmid().bytes[16], 0x48);
    const std::array<uint8_t, 13> label{0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01,
                                        0x05, 0x01, 0x01, 0x12, 0x13, 0x13};
    EXPECT_TRUE(std::equal(label.begin(), label.end(), metadata->secondPackageUmid().bytes.begin()));
    EXPECT_EQ(metadata->secondPackageUmid().instanceNumber(), 0x151617u);
    // A second transfer of the same clip names its packages identically.
    EXPECT_EQ(second.packageMetadata()->secondPackageUmid(), metadata->secondPackageUmid());
    EXPECT_EQ(second.packageMetadata()->firstPackageUmid(), metadata->firstPackageUmid());
    EXPECT_EQ(second.packageUmid(), first.packageUmid());
}

TEST_F(TransferSourceTest, SoundSamplesFollowThePosition) {
    initialize();
    std::vector<uint16_t> counts;
    for (int i = 0; i < 5; ++i) {
        counts.push_back(source.soundSamplesForEditUnit());
        ASSERT_TRUE(source.advance());
    }
    EXPECT_EQ(counts, (std::vector<uint16_t>{1602, 1601, 1602, 1601, 1602}));
}

TEST_F(TransferSourceTest, SoundSamplesWithoutChannelsAreZeroWhateverTheRate) {
    info.rawTail[kRawTailSoundChannels] = 0;
    info.rateNumerator = 0;
    QIROSRTransferSource silent(identification(), info);
    silent.initialize();
    EXPECT_EQ(silent.soundSamplesForEditUnit(), 0);
}

TEST_F(TransferSourceTest, SoundSamplesWithZeroEditRateFail) {
    info.rateNumerator = 0;
    QIROSRTransferSource broken(identification(), info);
    broken.initialize();
    EXPECT_EQ(assertionMessage([&] { broken.soundSamplesForEditUnit(); }),
              "assertion failure: valid edit rate");
    EXPECT_TRUE(broken.advance());
}
