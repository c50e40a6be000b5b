#include "card/CWyrnCard.h"
#include "platform/cardlib/VirtualBoard.h"
#include "platform/cardlib/VirtualBoards.h"
#include "platform/srmodule/ManifestReader.h"
#include "platform/srmodule/SerialFrame.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kStatusQuery = buildFrame(0xF4, 0xFA, std::vector<uint8_t>{0});

// A card on board 0 (demo media) with the UART switched on.
class VirtualUart : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv(kSimMediaVariable);
        cardlib::useConfiguredMedia();
        ASSERT_TRUE(card.Open(0));
        ASSERT_TRUE(card.WriteRegister(card::kRegisterUartControl, card::kUartControlOpenBits));
    }

    void sendBytes(const Bytes &bytes) {
        for (uint8_t byte : bytes)
            ASSERT_TRUE(card.WriteRegister(card::kRegisterUartTransmit, byte));
    }
    uint32_t control() {
        uint32_t value = 0;
        EXPECT_TRUE(card.ReadRegister(card::kRegisterUartControl, &value));
        return value;
    }
    // Reads register 71 while register 72 reports a byte waiting.
    Bytes drain() {
        Bytes bytes;
        while (control() & card::kUartControlRxReady) {
            uint32_t value = 0;
            EXPECT_TRUE(card.ReadRegister(card::kRegisterUartReceive, &value));
            bytes.push_back(uint8_t(value));
        }
        return bytes;
    }

    CWyrnCard card;
};

} // namespace

TEST_F(VirtualUart, ControlRegisterReportsTheUartAndWaitingBytes) {
    EXPECT_EQ(control(), card::kUartControlPresent | card::kUartControlOpenBits);
    sendBytes(kStatusQuery);
    EXPECT_EQ(control() & card::kUartControlRxReady, card::kUartControlRxReady);
    const Bytes reply = drain();
    ASSERT_GE(reply.size(), 26u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), (Bytes{0x30, uint8_t(reply.size() - 5), 0xF5, 0xFA}));
    EXPECT_EQ(frameChecksum(std::span(reply.data(), reply.size() - 1)), reply.back());
    EXPECT_EQ(control() & card::kUartControlRxReady, 0u);
    uint32_t empty = 7;
    ASSERT_TRUE(card.ReadRegister(card::kRegisterUartReceive, &empty));
    EXPECT_EQ(empty, 0u);
    EXPECT_EQ(cardlib::findBoard(0)->takeUartSent(), kStatusQuery);
}

TEST_F(VirtualUart, SendsReceivesAndRaisesNothingWhileSwitchedOff) {
    ASSERT_TRUE(card.EnableUartTxInterrupt());
    ASSERT_TRUE(card.SubscribeUartTxInterruptEvent());
    ASSERT_TRUE(card.WriteRegister(card::kRegisterUartControl, 0));
    EXPECT_EQ(control(), card::kUartControlPresent) << "presence is not writable";
    sendBytes(kStatusQuery);
    EXPECT_FALSE(card.WaitForUartTxInterruptEvent(15)) << "nothing was sent";
    EXPECT_TRUE(drain().empty());
    EXPECT_TRUE(cardlib::findBoard(0)->takeUartSent().empty());
}

TEST_F(VirtualUart, SwitchingOffDropsWaitingBytes) {
    sendBytes(kStatusQuery);
    ASSERT_TRUE(card.WriteRegister(card::kRegisterUartControl, 0));
    ASSERT_TRUE(card.WriteRegister(card::kRegisterUartControl, card::kUartControlOpenBits));
    EXPECT_TRUE(drain().empty());
}

TEST_F(VirtualUart, BoardWithoutUartReportsNoPresenceBit) {
    cardlib::findBoard(0)->setUartPresent(false);
    EXPECT_EQ(control(), 0u);
    cardlib::findBoard(0)->setUartPresent(true);
    EXPECT_NE(control() & card::kUartControlPresent, 0u);
}

TEST_F(VirtualUart, InterruptMaskFollowsEnableAndDisable) {
    uint32_t mask = 1;
    ASSERT_TRUE(card.GetCurrentInterruptMask(&mask));
    EXPECT_EQ(mask, 0u);
    ASSERT_TRUE(card.EnableUartRxInterrupt());
    ASSERT_TRUE(card.EnableUartTxInterrupt());
    ASSERT_TRUE(card.GetCurrentInterruptMask(&mask));
    EXPECT_EQ(mask, card::kInterruptMaskUartRx | card::kInterruptMaskUartTx);
    ASSERT_TRUE(card.DisableUartRxInterrupt());
    ASSERT_TRUE(card.GetCurrentInterruptMask(&mask));
    EXPECT_EQ(mask, card::kInterruptMaskUartTx);
    ASSERT_TRUE(card.DisableUartTxInterrupt());
}

TEST_F(VirtualUart, ReceiveWaitTimesOutWithoutBytesAndReturnsOnceWhenTheyCome) {
    EXPECT_FALSE(card.WaitForUartRxInterruptEvent(15)) << "not subscribed";
    ASSERT_TRUE(card.EnableUartRxInterrupt());
    ASSERT_TRUE(card.SubscribeUartRxInterruptEvent());
    EXPECT_FALSE(card.WaitForUartRxInterruptEvent(15));
    const Bytes line{0x10, 0x01};
    cardlib::findBoard(0)->deliverToUart(line);
    EXPECT_TRUE(card.WaitForUartRxInterruptEvent(15));
    EXPECT_FALSE(card.WaitForUartRxInterruptEvent(15)) << "the event resets once taken";
    EXPECT_EQ(drain(), line);

    ASSERT_TRUE(card.DisableUartRxInterrupt());
    cardlib::findBoard(0)->deliverToUart(line);
    EXPECT_FALSE(card.WaitForUartRxInterruptEvent(15)) << "disabled";
    ASSERT_TRUE(card.EnableUartRxInterrupt());
    EXPECT_TRUE(card.WaitForUartRxInterruptEvent(15)) << "bytes waiting when enabled";
    ASSERT_TRUE(card.UnsubscribeUartRxInterruptEvent());
    cardlib::findBoard(0)->deliverToUart(line);
    EXPECT_FALSE(card.WaitForUartRxInterruptEvent(15)) << "unsubscribed";
}

TEST_F(VirtualUart, ReceiveWaitOnAnotherThreadWakesWhenTheRecorderReplies) {
    ASSERT_TRUE(card.EnableUartRxInterrupt());
    ASSERT_TRUE(card.SubscribeUartRxInterruptEvent());
    bool woke = false;
    std::thread waiter([this, &woke] { woke = card.WaitForUartRxInterruptEvent(10000); });
    sendBytes(kStatusQuery);
    waiter.join();
    EXPECT_TRUE(woke);
}

TEST_F(VirtualUart, TransmitWaitReportsTheInterruptOnlyWhenEnabled) {
    ASSERT_TRUE(card.SubscribeUartTxInterruptEvent());
    sendBytes({0x00});
    EXPECT_FALSE(card.WaitForUartTxInterruptEvent(15));
    ASSERT_TRUE(card.EnableUartTxInterrupt());
    sendBytes({0x00});
    EXPECT_TRUE(card.WaitForUartTxInterruptEvent(15));
    EXPECT_FALSE(card.WaitForUartTxInterruptEvent(15));
}

TEST_F(VirtualUart, CardObjectsHaveTheirOwnInterruptEvents) {
    CWyrnCard other;
    ASSERT_TRUE(other.Open(0));
    ASSERT_TRUE(card.EnableUartRxInterrupt());
    ASSERT_TRUE(card.SubscribeUartRxInterruptEvent());
    ASSERT_TRUE(other.SubscribeUartRxInterruptEvent());
    sendBytes(kStatusQuery);
    EXPECT_TRUE(card.WaitForUartRxInterruptEvent(15));
    EXPECT_TRUE(other.WaitForUartRxInterruptEvent(15));
    other.Close();
    EXPECT_FALSE(other.WaitForUartRxInterruptEvent(15)) << "closed";
}
