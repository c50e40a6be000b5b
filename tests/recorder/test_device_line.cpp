// The recorder device on the virtual card's UART: the bytes it puts on the line and how it takes a reply
// apart. Replies are fed straight onto the line of a recorder that does not answer itself.

#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/SerialFrame.h"
#include "recorder/QIROSRTransferDevice.h"
#include "tests/support/TempManifest.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using testsupport::clipJson;
using testsupport::manifestWith;
using testsupport::TempManifest;

namespace {

using Bytes = std::vector<uint8_t>;

// A device whose reply wait first puts the scripted bytes on the line, as a recorder would answer.
class ScriptedDevice : public QIROSRTransferDevice {
public:
    void sleep(int milliseconds) override {
        if (!script.empty())
            cardlib::findBoard(0)->deliverToUart(script);
        script.clear();
        QIROSRTransferDevice::sleep(milliseconds);
    }
    // receiveFrame after bytes arrived on the line, with the device's own reply wait.
    int receiveAfter(const Bytes &bytes, uint8_t *buffer, int &length) {
        script = bytes;
        sleep(kReplyWaitMs);
        return receiveFrame(buffer, length);
    }

    Bytes script;
};

class DeviceLine : public ::testing::Test {
protected:
    void SetUp() override {
        // A recorder that never answers: the replies are the test's own.
        manifest = std::make_unique<TempManifest>(
            manifestWith(QJsonArray{clipJson("A001")}, QJsonObject{{"stopsAnswering", true}}));
        cardlib::useManifest(manifest->path());
        ASSERT_TRUE(device.open(0));
        std::fill(std::begin(buffer), std::end(buffer), uint8_t(0xAB));
    }
    void TearDown() override { cardlib::useConfiguredMedia(); }

    // Sends the status query and answers it with reply.
    int transactWith(const Bytes &reply) {
        device.script = reply;
        const Bytes query{0xF4, 0xFA, 0x00};
        std::copy(query.begin(), query.end(), buffer);
        length = int(query.size());
        return device.transact(buffer, length);
    }

    std::unique_ptr<TempManifest> manifest;
    ScriptedDevice device;
    uint8_t buffer[QIROSRTransferDevice::kFrameBufferSize];
    int length = 0;
};

} // namespace

TEST_F(DeviceLine, SelectFilePutsTheGoldenFrameOnTheLine) {
    cardlib::findBoard(0)->takeUartSent();
    device.selectFile("A001");
    EXPECT_EQ(cardlib::findBoard(0)->takeUartSent(),
              (Bytes{0x30, 0x08, 0x16, 0x00, 0x01, 0x00, 0x00, 0x41, 0x30, 0x30, 0x31, 0x00, 0x21}));
}

TEST_F(DeviceLine, SelectFileWithALongNameFramesSeventyCommandBytes) {
    cardlib::findBoard(0)->takeUartSent();
    device.selectFile(std::string(80, 'L'));
    const Bytes sent = cardlib::findBoard(0)->takeUartSent();
    ASSERT_EQ(sent.size(), 73u);
    EXPECT_EQ(sent[1], 68);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), uint8_t('L')), 64);
    EXPECT_EQ(sent[71], 0x00);
    EXPECT_EQ(sent.back(), frameChecksum(std::span(sent.data(), sent.size() - 1)));
}

TEST_F(DeviceLine, TransactTakesAWholeReplyWithoutItsChecksum) {
    const Bytes reply = buildFrame(0xF5, 0xFA, Bytes{1, 2, 3});
    ASSERT_EQ(transactWith(reply), 1);
    ASSERT_EQ(length, 7);
    EXPECT_TRUE(std::equal(reply.begin(), reply.end() - 1, buffer));
    EXPECT_EQ(buffer[7], 0xAB) << "the checksum is not copied";
}

TEST_F(DeviceLine, TransactKeepsTheRequestOnAnAcknowledgement) {
    ASSERT_EQ(transactWith({0x10, 0x01}), 1);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0xF4, 0xFA, 0x00}));
}

TEST_F(DeviceLine, TransactRejectsRepliesThatAreNotExactlyOneRightFrame) {
    const Bytes good = buildFrame(0xF5, 0xFA, Bytes{1, 2, 3});
    Bytes badChecksum = good;
    badChecksum.back() ^= 0x40;
    Bytes extra = good;
    extra.push_back(0x00);
    const Bytes truncated(good.begin(), good.end() - 2);
    Bytes wrongStart = good;
    wrongStart[0] = 0x31;
    // One data byte more or fewer than the length byte says, each with a right checksum.
    const auto withChecksum = [](Bytes frame) {
        frame.push_back(frameChecksum(frame));
        return frame;
    };
    const Bytes longer = withChecksum({0x30, 3, 0xF5, 0xFA, 1, 2, 3, 4});
    const Bytes shorter = withChecksum({0x30, 3, 0xF5, 0xFA, 1, 2});
    const std::vector<Bytes> broken{{},        {0x30, 0x00, 0xF5}, badChecksum, extra,
                                    truncated, wrongStart,         longer,      shorter};
    for (const Bytes &reply : broken) {
        EXPECT_EQ(transactWith(reply), 0) << reply.size();
        EXPECT_EQ(length, 0);
        EXPECT_TRUE(std::all_of(buffer, buffer + QIROSRTransferDevice::kFilledOnFailure,
                                [](uint8_t b) { return b == 0xFF; }));
    }
}

TEST_F(DeviceLine, SendFrameCarriesAtMost257CommandBytes) {
    uint8_t command[QIROSRTransferDevice::kFrameBufferSize] = {0xF4, 0xFA};
    cardlib::findBoard(0)->takeUartSent();
    EXPECT_EQ(device.sendFrame(command, 257), 1);
    const Bytes sent = cardlib::findBoard(0)->takeUartSent();
    ASSERT_EQ(sent.size(), 260u);
    EXPECT_EQ(sent[1], 255) << "the length byte holds the command length minus 2";
    for (int longer : {258, 261})
        EXPECT_EQ(device.sendFrame(command, longer), 0) << longer;
    EXPECT_TRUE(cardlib::findBoard(0)->takeUartSent().empty());
}

TEST_F(DeviceLine, ReceiveFrameNeverCopiesMoreThanWasRead) {
    // The length byte announces 200 data bytes; only 10 arrive.
    Bytes truncated{0x30, 200, 0xF5, 0x22};
    truncated.resize(14, 0x00);
    length = 99;
    EXPECT_EQ(device.receiveAfter(truncated, buffer, length), 0);
    EXPECT_EQ(length, 99);
    EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](uint8_t b) { return b == 0xAB; }));
}

TEST_F(DeviceLine, ALateReplyDoesNotSpoilTheNextExchange) {
    cardlib::findBoard(0)->deliverToUart(buildFrame(0xF5, 0x21, Bytes{0, 0, 0}));
    // Once the card holds no byte, the read thread has taken them all into the port's ring.
    CWyrnCard card;
    ASSERT_TRUE(card.Open(0));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    uint32_t control = card::kUartControlRxReady;
    while ((control & card::kUartControlRxReady) != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
        ASSERT_TRUE(card.ReadRegister(card::kRegisterUartControl, &control));
    }
    ASSERT_EQ(control & card::kUartControlRxReady, 0u);
    const Bytes reply = buildFrame(0xF5, 0xFA, Bytes{9});
    ASSERT_EQ(transactWith(reply), 1);
    EXPECT_EQ(Bytes(buffer, buffer + length), Bytes(reply.begin(), reply.end() - 1));
}

TEST(DeviceOpen, FailsWithoutABoardAndThenSendsNothing) {
    TempManifest manifest(QJsonObject{{"volume", "SRMEDIA"}, {"boardPresent", false}});
    cardlib::useManifest(manifest.path());
    QIROSRTransferDevice device;
    EXPECT_FALSE(device.open(0));
    EXPECT_EQ(device.stopPlayback(), 0);
    EXPECT_EQ(device.selectFile("A001"), 0);
    EXPECT_TRUE(device.readFileList().files.empty());
    uint8_t buffer[QIROSRTransferDevice::kFrameBufferSize] = {0xF4, 0xFA, 0x00};
    EXPECT_EQ(device.sendFrame(buffer, 3), 0);
    int length = 3;
    EXPECT_EQ(device.receiveFrame(buffer, length), 0);
    cardlib::useConfiguredMedia();
}

TEST(DeviceOpen, ListsPortNamesWithoutOpeningAny) {
    QIROSRTransferDevice device;
    for (const QString &name : device.portNames())
        EXPECT_FALSE(name.isEmpty());
}
