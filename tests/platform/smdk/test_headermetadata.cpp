// Header metadata: stable coding (the final copy can replace the open one in place), the primer covering
// every tag, and the values readers depend on.

#include "mxf/Assertion.h"
#include "platform/smdk/HeaderMetadata.h"
#include "tests/support/ClipSource.h"
#include "tests/support/MxfFileReader.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

using namespace smdk;

const Uuid base{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x47, 0x77, 0x88, 0x99, 0xAA, 0xBB};

using Item = std::pair<uint16_t, std::vector<uint8_t>>;

// Every set after the primer: its key and items in order.
std::vector<std::pair<mxftest::Key, std::vector<Item>>> setsOf(const std::vector<uint8_t> &bytes) {
    std::vector<std::pair<mxftest::Key, std::vector<Item>>> sets;
    const auto items = mxftest::splitKlv(bytes);
    EXPECT_TRUE(items);
    for (size_t i = 1; items && i < items->size(); ++i) {
        const auto set = mxftest::decodeLocalSet(bytes, (*items)[i]);
        EXPECT_TRUE(set);
        std::vector<Item> values;
        for (const auto &[tag, value] : *set)
            values.emplace_back(tag, std::vector<uint8_t>(value.begin(), value.end()));
        sets.emplace_back((*items)[i].key, values);
    }
    return sets;
}

std::vector<std::vector<uint8_t>> valuesOf(const std::vector<uint8_t> &bytes, uint16_t tag) {
    std::vector<std::vector<uint8_t>> values;
    for (const auto &[key, items] : setsOf(bytes))
        for (const auto &[itemTag, value] : items)
            if (itemTag == tag)
                values.push_back(value);
    return values;
}

std::string failureOf(const ClipMetadata &metadata) {
    try {
        encodeHeaderMetadata(metadata, base, 1);
    } catch (const util::assertion_failure &failure) {
        return failure.what();
    }
    return "no failure";
}

TEST(HeaderMetadata, FinalCopyDiffersFromTheOpenOneOnlyInDurations) {
    ClipMetadata metadata;
    metadata.channels = 3;
    const std::vector<uint8_t> open = encodeHeaderMetadata(metadata, base, -1);
    const std::vector<uint8_t> final = encodeHeaderMetadata(metadata, base, 42);
    ASSERT_EQ(open.size(), final.size());
    const auto openSets = setsOf(open), finalSets = setsOf(final);
    ASSERT_EQ(openSets.size(), finalSets.size());
    int durations = 0;
    for (size_t s = 0; s < openSets.size(); ++s) {
        ASSERT_EQ(openSets[s].first, finalSets[s].first);
        ASSERT_EQ(openSets[s].second.size(), finalSets[s].second.size());
        for (size_t i = 0; i < openSets[s].second.size(); ++i) {
            const Item &a = openSets[s].second[i], &b = finalSets[s].second[i];
            ASSERT_EQ(a.first, b.first);
            if (a.first == 0x0202 || a.first == 0x3002) {
                EXPECT_EQ(mxftest::u64At(a.second, 0), ~uint64_t(0));
                EXPECT_EQ(mxftest::u64At(b.second, 0), 42u);
                ++durations;
            } else {
                EXPECT_EQ(a.second, b.second) << "tag " << std::hex << a.first;
            }
        }
    }
    // Components of 2 packages x (time code + picture + 3 sound + data) tracks, their sequences, and the
    // container durations of the multiple, picture, 3 sound and data descriptors.
    EXPECT_EQ(durations, 2 * 6 * 2 + 6);
}

// The local tags the primer pack of `bytes` lists: a count, an entry size of 18, then each entry's tag and
// universal label.
std::set<uint16_t> primerTagsOf(const std::vector<uint8_t> &bytes) {
    std::set<uint16_t> tags;
    const auto items = mxftest::splitKlv(bytes);
    EXPECT_TRUE(items && !items->empty() && items->front().key == keys::primerPack);
    if (!items || items->empty())
        return tags;
    const mxftest::Klv &primer = items->front();
    for (uint64_t at = primer.valueOffset + 8; at + 18 <= primer.end(); at += 18)
        tags.insert(uint16_t(bytes[at] << 8 | bytes[at + 1]));
    return tags;
}

TEST(HeaderMetadata, PrimerCoversEveryTagUsedAndUserCommentTagsOnlyWhenThereAreSome) {
    ClipMetadata metadata;
    metadata.channels = 16;
    EXPECT_FALSE(primerTagsOf(encodeHeaderMetadata(metadata, base, 10)).count(tags::userComments.tag));
    metadata.comments = {{u"Title", u"Dawn"}};
    const std::vector<uint8_t> bytes = encodeHeaderMetadata(metadata, base, 10);
    const std::set<uint16_t> primer = primerTagsOf(bytes);
    for (const auto &[key, items] : setsOf(bytes))
        for (const auto &[tag, value] : items)
            EXPECT_TRUE(primer.count(tag)) << "tag " << std::hex << tag;
    EXPECT_TRUE(primer.count(tags::taggedValueValue.tag));
}

TEST(HeaderMetadata, RejectsRatesAndChannelCountsItCannotDescribe) {
    ClipMetadata metadata;
    metadata.rate = {0, 1};
    EXPECT_EQ(failureOf(metadata), "assertion failure: valid edit rate");
    metadata.rate = {25, 0};
    EXPECT_EQ(failureOf(metadata), "assertion failure: valid edit rate");
    metadata.rate = {25, 1};
    metadata.channels = 17;
    EXPECT_EQ(failureOf(metadata), "assertion failure: valid sound channel count");
    metadata.channels = -1;
    EXPECT_EQ(failureOf(metadata), "assertion failure: valid sound channel count");
}

TEST(HeaderMetadata, DropFrameOnlyWithThirtyAndSixtyFrameBases) {
    ClipMetadata metadata;
    metadata.dropFrame = true;
    metadata.rate = {25, 1};
    for (const auto &value : valuesOf(encodeHeaderMetadata(metadata, base, 1), 0x1503))
        EXPECT_EQ(value, std::vector<uint8_t>{0});
    metadata.rate = {60000, 1001};
    const std::vector<uint8_t> bytes = encodeHeaderMetadata(metadata, base, 1);
    for (const auto &value : valuesOf(bytes, 0x1503))
        EXPECT_EQ(value, std::vector<uint8_t>{1});
    for (const auto &value : valuesOf(bytes, 0x1502))
        EXPECT_EQ(value, (std::vector<uint8_t>{0, 60}));
}

TEST(HeaderMetadata, SoundEmphasisFollowsTheChannelStatus) {
    ClipMetadata metadata;
    metadata.channels = 1;
    for (const auto &[status, emphasis] :
         std::map<uint8_t, uint8_t>{{0x85, 4}, {0x8D, 6}, {0x9D, 7}, {0x81, 0}}) {
        metadata.statusByte0 = status;
        const auto values = valuesOf(encodeHeaderMetadata(metadata, base, 1), 0x3D0D);
        ASSERT_EQ(values.size(), 1u);
        EXPECT_EQ(values[0], std::vector<uint8_t>{emphasis}) << "status " << std::hex << int(status);
        const auto fixed = valuesOf(encodeHeaderMetadata(metadata, base, 1), 0x3D11);
        ASSERT_EQ(fixed.size(), 1u);
        ASSERT_EQ(fixed[0].size(), 8u + 24u);
        EXPECT_EQ(fixed[0][8], status);
    }
}

TEST(HeaderMetadata, SoundRateOfZeroOrWithoutDenominatorIsDescribedAs48kHz) {
    ClipMetadata metadata;
    metadata.channels = 1;
    const std::vector<uint8_t> rate48k{0, 0, 0xBB, 0x80, 0, 0, 0, 1};
    for (const SMDKRational rate : {SMDKRational{0, 1}, SMDKRational{0, 1001}, SMDKRational{48000, 0}}) {
        metadata.soundRate = rate;
        const std::vector<uint8_t> bytes = encodeHeaderMetadata(metadata, base, 1);
        EXPECT_EQ(valuesOf(bytes, 0x3D03), std::vector<std::vector<uint8_t>>{rate48k})
            << rate.numerator << "/" << rate.denominator;
        // Average bytes per second: 48,000 samples of 3 bytes.
        EXPECT_EQ(valuesOf(bytes, 0x3D09), (std::vector<std::vector<uint8_t>>{{0, 0x02, 0x32, 0x80}}));
    }
}

TEST(HeaderMetadata, FilePackageTrackNumbersMatchTheElementKeys) {
    ClipMetadata metadata;
    metadata.channels = 4;
    std::multiset<uint32_t> numbers;
    for (const auto &value : valuesOf(encodeHeaderMetadata(metadata, base, 1), 0x4804))
        numbers.insert(uint32_t(value[0]) << 24 | uint32_t(value[1]) << 16 | uint32_t(value[2]) << 8 |
                       value[3]);
    // Material package tracks and the file package's time code track carry 0.
    EXPECT_EQ(numbers, (std::multiset<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0x15010500, 0x16040300, 0x16040301,
                                                0x16040302, 0x16040303, 0x17010201}));
}

} // namespace
