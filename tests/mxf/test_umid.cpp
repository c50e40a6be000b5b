#include "mxf/Assertion.h"
#include "mxf/UMID.h"
#include "tests/support/AssertionMessage.h"

#include <QUuid>
#include <gtest/gtest.h>

namespace {

using testsupport::assertionMessage;

const std::array<uint8_t, 10> label{0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05, 0x01, 0x01};

void expectLabelledHead(const UMID &umid, uint8_t type) {
    const std::array<uint8_t, 16> head{0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05,
                                       0x01, 0x01, type, 0x23, 0x13, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), umid.bytes.begin()));
}

// The material number of a made UMID is an RFC 4122 UUID: version 4 in the high nibble of byte 6 of the
// UUID, variant 10xx in the high bits of byte 8.
void expectRfc4122RandomUuid(const UMID &umid) {
    const auto number = umid.materialNumber();
    EXPECT_EQ(number[6] & 0xF0, 0x40);
    EXPECT_EQ(number[8] & 0xC0, 0x80);
    const QUuid uuid = QUuid::fromRfc4122(QByteArray(reinterpret_cast<const char *>(number.data()), 16));
    EXPECT_EQ(uuid.version(), QUuid::Random);
    EXPECT_EQ(uuid.variant(), QUuid::DCE);
}

} // namespace

TEST(UMID, DefaultIsLabelledNotIdentifiedWithFreshUuid) {
    const UMID umid;
    EXPECT_EQ(umid.extended, 0u);
    expectLabelledHead(umid, 0x0F);
    expectRfc4122RandomUuid(umid);
    EXPECT_NE(umid, UMID());
}

TEST(UMID, MakeWritesTypeAndLayout) {
    UMID umid;
    umid.setInstanceNumber(0x123456);
    umid.make(0x0D);
    expectLabelledHead(umid, 0x0D);
    EXPECT_EQ(umid.instanceNumber(), 0u);
    expectRfc4122RandomUuid(umid);
}

TEST(UMID, MaterialNumberKeepsRfc4122ByteOrder) {
    const QUuid uuid("{00112233-4455-6677-8899-aabbccddeeff}");
    const QByteArray rfc = uuid.toRfc4122();
    ASSERT_EQ(rfc.size(), 16);
    EXPECT_EQ(uint8_t(rfc[0]), 0x00);
    EXPECT_EQ(uint8_t(rfc[3]), 0x33);
    EXPECT_EQ(uint8_t(rfc[4]), 0x44);
    EXPECT_EQ(uint8_t(rfc[15]), 0xFF);
    UMID umid;
    std::array<uint8_t, 16> number{};
    std::copy(rfc.begin(), rfc.end(), number.begin());
    umid.setMaterialNumber(number);
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(umid.bytes[16 + i], uint8_t(0x11 * i));
}

TEST(UMID, InstanceNumberIsBigEndianBelowTwoToTheTwentyFour) {
    UMID umid;
    umid.setInstanceNumber(0xABCDEF);
    EXPECT_EQ(umid.bytes[13], 0xAB);
    EXPECT_EQ(umid.bytes[14], 0xCD);
    EXPECT_EQ(umid.bytes[15], 0xEF);
    EXPECT_EQ(umid.instanceNumber(), 0xABCDEFu);
    umid.setInstanceNumber(0xFFFFFF);
    EXPECT_EQ(umid.instanceNumber(), 0xFFFFFFu);
}

TEST(UMID, InstanceNumberOfTwoToTheTwentyFourFailsAndLeavesBytes) {
    UMID umid;
    umid.setInstanceNumber(7);
    const UMID before = umid;
    EXPECT_EQ(assertionMessage([&] { umid.setInstanceNumber(0x1000000); }),
              "assertion failure: valid instance number");
    EXPECT_EQ(umid, before);
}

TEST(UMID, FromBytesHoldsBytesUnlabelled) {
    std::array<uint8_t, 32> raw{};
    raw[31] = 0x5A;
    const UMID umid = UMID::fromBytes(raw);
    EXPECT_EQ(umid.bytes, raw);
    EXPECT_EQ(umid.extended, 0u);
}
