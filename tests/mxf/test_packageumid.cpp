#include "mxf/PackageUmid.h"
#include "source/SMDKDefaultMetadata.h"

#include <gtest/gtest.h>

namespace {

// A seed as the source builds it: eight zero bytes, then a clip identifier whose material number starts
// with `firstMaterialByte`.
UMID seedWithMaterial(uint8_t firstMaterialByte) {
    std::array<uint8_t, 32> bytes{};
    bytes[10] = 0x0D; // material type
    bytes[11] = 0x20; // creation methods
    bytes[12] = 0x13; // length
    bytes[13] = 0x01; // instance number 0x010203
    bytes[14] = 0x02;
    bytes[15] = 0x03;
    bytes[16] = firstMaterialByte;
    for (size_t i = 17; i < 32; ++i)
        bytes[i] = uint8_t(0xA0 + i);
    return UMID::fromBytes(bytes);
}

struct PackageUmids {
    UMID second;
    UMID first;
    UMID source;
};

PackageUmids derive(const UMID &seed) {
    SMDKDefaultMetadata scratch;
    scratch.values.secondPackageUmid = deriveClipUmid(seed);
    return {scratch.values.secondPackageUmid, deriveFirstPackageUmid(scratch),
            deriveSourcePackageUmid(scratch)};
}

void expectEqualExceptByte16(const UMID &a, const UMID &b) {
    for (size_t i = 0; i < 32; ++i) {
        if (i != 16) {
            EXPECT_EQ(a.bytes[i], b.bytes[i]) << "byte " << i;
        }
    }
}

} // namespace

TEST(PackageUmid, ClipUmidKeepsSeedIdentityUnderStandardLabel) {
    const UMID clip = deriveClipUmid(seedWithMaterial(0x40));
    const std::array<uint8_t, 16> head{0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05,
                                       0x01, 0x01, 0x0D, 0x20, 0x13, 0x01, 0x02, 0x03};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), clip.bytes.begin()));
    EXPECT_EQ(clip.bytes[16], 0x40);
    for (size_t i = 17; i < 32; ++i)
        EXPECT_EQ(clip.bytes[i], uint8_t(0xA0 + i));
    EXPECT_EQ(clip.extended, 0u);
}

TEST(PackageUmid, SeedLabelAndLengthBytesDoNotReachTheResult) {
    UMID seed = seedWithMaterial(0x40);
    const UMID expected = deriveClipUmid(seed);
    for (size_t i = 0; i < 10; ++i)
        seed.bytes[i] = 0xEE;
    seed.bytes[12] = 0x77;
    EXPECT_EQ(deriveClipUmid(seed), expected);
}

TEST(PackageUmid, MaterialStarting0x40Gives40And41And48) {
    const PackageUmids umids = derive(seedWithMaterial(0x40));
    EXPECT_EQ(umids.second.bytes[16], 0x40);
    EXPECT_EQ(umids.first.bytes[16], 0x41);
    EXPECT_EQ(umids.source.bytes[16], 0x48);
    expectEqualExceptByte16(umids.second, umids.first);
    expectEqualExceptByte16(umids.second, umids.source);
}

TEST(PackageUmid, MaterialStarting0x09Gives09And08And01) {
    const PackageUmids umids = derive(seedWithMaterial(0x09));
    EXPECT_EQ(umids.second.bytes[16], 0x09);
    EXPECT_EQ(umids.first.bytes[16], 0x08);
    EXPECT_EQ(umids.source.bytes[16], 0x01);
    expectEqualExceptByte16(umids.second, umids.first);
    expectEqualExceptByte16(umids.second, umids.source);
}

TEST(PackageUmid, SameSeedGivesIdenticalUmidsEveryTime) {
    const PackageUmids once = derive(seedWithMaterial(0x5C));
    const PackageUmids again = derive(seedWithMaterial(0x5C));
    EXPECT_EQ(once.second, again.second);
    EXPECT_EQ(once.first, again.first);
    EXPECT_EQ(once.source, again.source);
}
