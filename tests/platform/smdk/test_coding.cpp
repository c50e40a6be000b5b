// The byte-level layers of the MXF library: BER lengths, partition packs, the Random Index Pack, index
// table segments, the primer and the system item.

#include "mxf/Assertion.h"
#include "mxf/SMDKLibrary.h"
#include "platform/smdk/HeaderMetadata.h"
#include "platform/smdk/IndexTable.h"
#include "platform/smdk/Klv.h"
#include "platform/smdk/PartitionPack.h"
#include "platform/smdk/SystemItem.h"
#include "tests/support/AssertionMessage.h"
#include "tests/support/MxfFileReader.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using testsupport::assertionMessage;

using namespace smdk;

std::vector<uint8_t> berOf(uint64_t length) {
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    appendBerLength(writer, length);
    EXPECT_EQ(out.size(), berLengthSize(length));
    return out;
}

TEST(Klv, BerLengthKeepsTheFourByteFormBelowTwoToThe24AndWidensAbove) {
    EXPECT_EQ(berOf(0), (std::vector<uint8_t>{0x83, 0x00, 0x00, 0x00}));
    EXPECT_EQ(berOf(1875000), (std::vector<uint8_t>{0x83, 0x1C, 0x9C, 0x38}));
    EXPECT_EQ(berOf(0xFFFFFF), (std::vector<uint8_t>{0x83, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(berOf(0x1000000), (std::vector<uint8_t>{0x88, 0, 0, 0, 0, 0x01, 0, 0, 0}));
}

TEST(PartitionPack, FieldsSitAtTheirFixedOffsetsForAnyNumberOfContainers) {
    for (size_t containers : {0u, 3u, 4u}) {
        MXFPartitionDescription pack;
        pack.kind = keys::footerPartition;
        pack.status = keys::closedComplete;
        pack.thisPartition = 0x1111;
        pack.previousPartition = 0x2222;
        pack.footerPartition = 0x0102030405060708;
        pack.headerByteCount = 0x3333;
        pack.indexByteCount = 0x4444;
        pack.indexSid = 2;
        pack.bodySid = 1;
        pack.essenceContainers.assign(containers, labels::ancData);
        std::vector<uint8_t> out;
        appendPartitionPack(out, pack);

        ASSERT_EQ(out.size(), 20 + 88 + 16 * containers);
        EXPECT_EQ(out[13], 0x04);
        EXPECT_EQ(out[14], 0x04);
        EXPECT_EQ(mxftest::u64At(out, 28), 0x1111u);
        EXPECT_EQ(mxftest::u64At(out, 36), 0x2222u);
        EXPECT_EQ(mxftest::u64At(out, 44), 0x0102030405060708u);
        EXPECT_EQ(mxftest::u64At(out, 52), 0x3333u);
        EXPECT_EQ(mxftest::u64At(out, 60), 0x4444u);
        const auto items = mxftest::splitKlv(out);
        ASSERT_TRUE(items);
        const auto decoded = mxftest::decodePartitionPack(out, items->front());
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->indexSid, 2u);
        EXPECT_EQ(decoded->bodySid, 1u);
    }
}

TEST(RandomIndexPack, ListsEveryPartitionAndEndsWithItsOwnLength) {
    std::vector<uint8_t> out;
    appendRandomIndexPack(out, {{0, 0}, {1, 600}, {0, 900}});
    ASSERT_EQ(out.size(), 60u);
    EXPECT_EQ(std::vector<uint8_t>(out.end() - 4, out.end()), (std::vector<uint8_t>{0, 0, 0, 0x3C}));
    const auto items = mxftest::splitKlv(out);
    ASSERT_TRUE(items);
    const auto rip = mxftest::decodeRip(out, items->front());
    ASSERT_TRUE(rip);
    EXPECT_EQ(rip->first, (std::vector<mxftest::RipEntry>{{0, 0}, {1, 600}, {0, 900}}));
}

TEST(IndexTable, SplitsLongIndexesIntoSegmentsOfConsecutiveEditUnits) {
    std::vector<uint64_t> offsets(maximumEntriesPerSegment + 2);
    for (size_t i = 0; i < offsets.size(); ++i)
        offsets[i] = i * 1000003;
    std::vector<uint8_t> out;
    appendIndexTable(out, {25, 1}, offsets, 2, 1);

    const auto items = mxftest::splitKlv(out);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    std::vector<uint64_t> decoded;
    std::vector<int64_t> starts;
    for (const mxftest::Klv &klv : *items) {
        const auto entries = mxftest::decodeIndexEntries(out, klv);
        ASSERT_TRUE(entries);
        decoded.insert(decoded.end(), entries->begin(), entries->end());
        const auto set = mxftest::decodeLocalSet(out, klv);
        ASSERT_TRUE(set);
        for (const auto &[tag, value] : *set)
            if (tag == 0x3F0C)
                starts.push_back(int64_t(mxftest::u64At(value, 0)));
    }
    EXPECT_EQ(decoded, offsets);
    EXPECT_EQ(starts, (std::vector<int64_t>{0, int64_t(maximumEntriesPerSegment)}));
}

TEST(IndexTable, NoEditUnitsGiveNoSegment) {
    std::vector<uint8_t> out;
    appendIndexTable(out, {25, 1}, {}, 2, 1);
    EXPECT_TRUE(out.empty());
}

TEST(Primer, TagsAndLabelsAreEachListedOnce) {
    std::set<uint16_t> tags;
    std::set<UL> uls;
    std::vector<LocalTag> entries(tags::primer.begin(), tags::primer.end());
    entries.insert(entries.end(), tags::userCommentPrimer.begin(), tags::userCommentPrimer.end());
    for (const LocalTag &entry : entries) {
        EXPECT_TRUE(tags.insert(entry.tag).second) << std::hex << entry.tag;
        EXPECT_TRUE(uls.insert(entry.ul).second) << std::hex << entry.tag;
    }
}

TEST(SystemItem, CarriesRateContinuityAndUserStampAtTheirOffsets) {
    const SMDKUserTimestamp stamp{0x81, 0x12, 0x34, 0x56, 0x78};
    const std::vector<uint8_t> pack =
        systemMetadataPack(0x5E, contentPackageRate({30000, 1001}), 65537, stamp);
    ASSERT_EQ(pack.size(), systemMetadataPackSize);
    EXPECT_EQ(pack[0], 0x5E);
    EXPECT_EQ(pack[1], 0x07);
    EXPECT_EQ(pack[5] << 8 | pack[6], 1) << "continuity count wraps at 65536";
    EXPECT_TRUE(std::equal(stamp.begin(), stamp.end(), pack.begin() + 40));
    EXPECT_EQ(contentPackageRate({24000, 1001}), 0x03);
    EXPECT_EQ(contentPackageRate({48000, 2002}), 0x03);
    EXPECT_EQ(contentPackageRate({60, 1}), 0x0C);
    EXPECT_EQ(contentPackageRate({23, 1}), 0x00);
}

TEST(SystemItem, PackageMetadataItemsAreTypeLengthValueAndChecked) {
    UMID umid;
    const SMDKMetadataItems items = createSMDKPackageMetadata(umid, {});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].first, 0x83u);
    const std::vector<uint8_t> set = packageMetadataSet(items);
    ASSERT_EQ(set.size(), 35u);
    EXPECT_EQ(std::vector<uint8_t>(set.begin(), set.begin() + 3), (std::vector<uint8_t>{0x83, 0x00, 0x20}));
    EXPECT_TRUE(std::equal(umid.bytes.begin(), umid.bytes.end(), set.begin() + 3));
    EXPECT_EQ(createSMDKPackageMetadata(umid, {1, 2, 3}).back(),
              (std::pair<uint32_t, std::vector<uint8_t>>{0x88, {1, 2, 3}}));

    EXPECT_EQ(assertionMessage([&] {
                  packageMetadataSet({{0x100, {}}});
              }),
              "assertion failure: valid package metadata item");
    EXPECT_THROW(packageMetadataSet({{0x83, std::vector<uint8_t>(0x10000)}}), util::assertion_failure);
}

TEST(PictureCoding, LabelNamesTheStudioProfileAndLevel) {
    const UL l2 = pictureCodingLabel(0xE2);
    EXPECT_EQ(l2[7], 0x03);
    EXPECT_EQ(l2[13], 0x20);
    EXPECT_EQ(l2[14], 0x10);
    EXPECT_EQ(l2[15], 0x02);
    const UL l6 = pictureCodingLabel(0xEC);
    EXPECT_EQ(l6[7], 0x0B);
    EXPECT_EQ(l6[15], 0x06);
    const UL core = pictureCodingLabel(0xE5);
    EXPECT_EQ(core[14], 0x11);
    EXPECT_EQ(core[15], 0x01);
    const UL none = pictureCodingLabel(0xE0);
    EXPECT_EQ(none[14], 0x00);
    // Whatever the code, bytes 0 to 13 but the version byte name MPEG-4 Visual: FFmpeg matches them to
    // pick its MPEG-4 decoder, and falls back to MPEG-2 (which cannot decode the pictures) otherwise.
    const UL mpeg4Visual{0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x00, 0x04, 0x01, 0x02, 0x02, 0x01, 0x20};
    for (int code = 0; code < 256; ++code) {
        UL label = pictureCodingLabel(uint8_t(code));
        label[7] = label[14] = label[15] = 0;
        EXPECT_EQ(label, mpeg4Visual) << "code " << code;
    }
}

} // namespace
