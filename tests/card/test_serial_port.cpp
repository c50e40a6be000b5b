#include "card/CWyrnSerialPort.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/ClipInfoReply.h"
#include "platform/srmodule/ManifestReader.h"
#include "platform/srmodule/SerialFrame.h"
#include "platform/srmodule/SimulatedRecorder.h"
#include "tests/support/EndsWithin.h"

#include <QCoreApplication>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes frame(uint8_t command1, uint8_t command2, const Bytes &data) {
    return buildFrame(command1, command2, data);
}

// Waits until the port holds at least count bytes; false after the time-out.
bool waitForBytes(const CWyrnSerialPort &port, uint64_t count,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (port.bytesAvailable() < count) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

uint64_t write(CWyrnSerialPort &port, const Bytes &bytes) {
    return port.write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
}

Bytes read(CWyrnSerialPort &port, uint64_t maxLength) {
    Bytes bytes(maxLength);
    bytes.resize(port.read(reinterpret_cast<char *>(bytes.data()), maxLength));
    return bytes;
}

class SerialPort : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv(kSimMediaVariable);
        cardlib::useConfiguredMedia();
        board = cardlib::findBoard(0);
    }
    void TearDown() override { cardlib::useConfiguredMedia(); }

    // The bytes the recorder answers the frames with, from a recorder of its own with the same media.
    Bytes expectedReplies(const std::vector<Bytes> &frames) {
        SimulatedRecorder recorder(board->recorder()->manifest());
        Bytes replies;
        for (const Bytes &f : frames)
            for (uint8_t byte : f) {
                const Bytes reply = recorder.receiveByte(byte);
                replies.insert(replies.end(), reply.begin(), reply.end());
            }
        return replies;
    }

    std::shared_ptr<cardlib::VirtualBoard> board;
};

} // namespace

TEST_F(SerialPort, CarriesACommandToTheRecorderAndItsReplyBack) {
    CWyrnSerialPort port(0, 0);
    ASSERT_TRUE(port.open(0));
    EXPECT_EQ(port.bytesAvailable(), 0u);
    const Bytes query = frame(0xF4, 0xFA, {0});
    EXPECT_EQ(write(port, query), query.size());
    EXPECT_EQ(board->takeUartSent(), query);
    const Bytes expected = expectedReplies({query});
    ASSERT_TRUE(waitForBytes(port, expected.size()));
    EXPECT_EQ(read(port, 256), expected);
    EXPECT_EQ(port.bytesAvailable(), 0u);
}

TEST_F(SerialPort, ReadTakesWhatIsThereWithoutWaitingAndNothingForZero) {
    CWyrnSerialPort port;
    ASSERT_TRUE(port.open(0));
    EXPECT_TRUE(read(port, 10).empty()) << "nothing received";
    const Bytes line{1, 2, 3, 4, 5, 6};
    board->deliverToUart(line);
    ASSERT_TRUE(waitForBytes(port, line.size()));
    EXPECT_EQ(port.read(nullptr, 0), 0u);
    Bytes none(1, 0xEE);
    EXPECT_EQ(port.read(reinterpret_cast<char *>(none.data()), 0), 0u);
    EXPECT_EQ(none[0], 0xEE);
    EXPECT_EQ(port.bytesAvailable(), line.size());
    EXPECT_EQ(read(port, 2), (Bytes{1, 2}));
    EXPECT_EQ(read(port, 100), (Bytes{3, 4, 5, 6}));
}

TEST_F(SerialPort, BytesBeyondTheRingsSlotsWaitInTheCardUntilReadFreesSlots) {
    CWyrnSerialPort port;
    ASSERT_TRUE(port.open(0));
    // Three replies of 8 + 207 + 207 bytes, more than the ring's 256 slots.
    const std::vector<Bytes> frames{frame(0xF3, 0x22, {0, 0, 0}), frame(0xF4, 0x22, {0, 0, 0}),
                                    frame(0xF4, 0x22, {0, 0, 0})};
    for (const Bytes &f : frames)
        write(port, f);
    const Bytes expected = expectedReplies(frames);
    ASSERT_EQ(expected.size(), 8 + 2 * kFileInfoReplySize);
    ASSERT_TRUE(waitForBytes(port, CWyrnSerialPort::kReceiveSlots));
    EXPECT_EQ(port.bytesAvailable(), CWyrnSerialPort::kReceiveSlots);
    uint32_t control = 0;
    ASSERT_TRUE(port.ReadRegister(card::kRegisterUartControl, &control));
    EXPECT_NE(control & card::kUartControlRxReady, 0u) << "the rest waits in the card";

    Bytes received = read(port, 100);
    while (received.size() < expected.size()) {
        ASSERT_TRUE(waitForBytes(port, 1));
        const Bytes more = read(port, 100);
        received.insert(received.end(), more.begin(), more.end());
    }
    EXPECT_EQ(received, expected);
}

TEST_F(SerialPort, OpenFailsOnABoardWithoutUartAndClosesItAgain) {
    board->setUartPresent(false);
    CWyrnSerialPort port;
    EXPECT_FALSE(port.open(0));
    EXPECT_FALSE(port.BoardOpened());
    const char byte = 0x30;
    EXPECT_EQ(port.write(&byte, 1), 0u);
}

TEST_F(SerialPort, OpenFailsWithoutABoard) {
    CWyrnSerialPort port(3, 0);
    EXPECT_FALSE(port.open(0));
}

TEST_F(SerialPort, WriteRefusesMoreThan65535BytesAndSendsNothing) {
    CWyrnSerialPort port;
    ASSERT_TRUE(port.open(0));
    // A 16-bit transmit counter never reaches a longer length: the write would never return.
    const std::vector<char> big(65536, 0x30);
    testsupport::endsWithin(std::chrono::seconds(10),
                            [&] { EXPECT_EQ(port.write(big.data(), big.size()), 0u); });
    EXPECT_TRUE(board->takeUartSent().empty());
    const std::vector<char> largest(CWyrnSerialPort::kMaxWriteLength, 0x00);
    EXPECT_EQ(port.write(largest.data(), largest.size()), largest.size());
}

TEST_F(SerialPort, WriteReportsZeroWhenTheTransmitInterruptDoesNotCome) {
    CWyrnSerialPort port;
    ASSERT_TRUE(port.open(0));
    ASSERT_TRUE(port.DisableUartTxInterrupt());
    const Bytes query = frame(0xF4, 0xFA, {0});
    EXPECT_EQ(write(port, query), 0u);
    EXPECT_TRUE(waitForBytes(port, 1)) << "the bytes were sent all the same";
}

TEST_F(SerialPort, ClosedPortWritesAndReadsNothing) {
    CWyrnSerialPort port;
    const char byte = 0;
    EXPECT_EQ(port.write(&byte, 1), 0u);
    char out = 0;
    EXPECT_EQ(port.read(&out, 1), 0u);
    port.close();
    ASSERT_TRUE(port.open(0));
    port.close();
    EXPECT_FALSE(port.BoardOpened());
    EXPECT_EQ(port.write(&byte, 1), 0u);
}

TEST_F(SerialPort, CloseSwitchesTheUartOffAndRestoresTheInterruptMask) {
    CWyrnCard other;
    ASSERT_TRUE(other.Open(0));
    ASSERT_TRUE(other.EnableUartRxInterrupt());
    {
        CWyrnSerialPort port;
        ASSERT_TRUE(port.open(0));
        uint32_t mask = 0;
        ASSERT_TRUE(other.GetCurrentInterruptMask(&mask));
        EXPECT_EQ(mask, card::kInterruptMaskUartRx | card::kInterruptMaskUartTx);
        uint32_t control = 0;
        ASSERT_TRUE(other.ReadRegister(card::kRegisterUartControl, &control));
        EXPECT_EQ(control & card::kUartControlOpenBits, card::kUartControlOpenBits);
        ASSERT_TRUE(other.ReadRegister(card::kRegisterUartReset, &control));
        EXPECT_EQ(control, 0u);
    }
    uint32_t mask = 0, control = 0;
    ASSERT_TRUE(other.GetCurrentInterruptMask(&mask));
    EXPECT_EQ(mask, card::kInterruptMaskUartRx) << "enabled before open, so left enabled";
    ASSERT_TRUE(other.ReadRegister(card::kRegisterUartControl, &control));
    EXPECT_EQ(control, card::kUartControlPresent);
}

TEST_F(SerialPort, PortWithAnApplicationCodeHoldsTheBoardWhileOpen) {
    const int64_t pid = QCoreApplication::applicationPid();
    CWyrnCard other;
    ASSERT_TRUE(other.Open(0));
    {
        CWyrnSerialPort port(0, card::kVantrelApplicationCode);
        ASSERT_TRUE(port.open(0));
        EXPECT_FALSE(other.AcquireStreamForApplication(card::kVantrelApplicationCode, pid + 1));
        CWyrnSerialPort second(0, card::applicationCode('O', 'T', 'H', 'R'));
        EXPECT_FALSE(second.open(0));
    }
    EXPECT_TRUE(other.AcquireStreamForApplication(card::kVantrelApplicationCode, pid + 1));
    CWyrnSerialPort port(0, card::kVantrelApplicationCode);
    EXPECT_FALSE(port.open(0)) << "held by another process";
}
