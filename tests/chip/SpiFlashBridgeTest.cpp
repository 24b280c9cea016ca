#include "chip/SpiFlashBridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class SpiFlashBridgeTest : public ::testing::Test, public fakes::VirtualChipFixture {
protected:
    // A bridge so slow that it never reports a command clocked out within any poll bound.
    void StallBridge() { Chip().SetSpiClock(1); }
};

TEST_F(SpiFlashBridgeTest, SingleByteCommandsAreOneClosingPacket) {
    ASSERT_TRUE(FlashWriteEnable(Usb));
    ASSERT_TRUE(FlashWriteDisable(Usb));
    ASSERT_TRUE(FlashChipErase(Usb));
    ASSERT_TRUE(FlashWriteStatus(Usb, 0x9C));
    ASSERT_THAT(Log(), SizeIs(4));
    EXPECT_EQ(Log()[0].Setup, (SetupPacket{0x43, 0x80, 0, 1, 1}));
    EXPECT_THAT(Log()[0].Data, ElementsAre(0x06));
    EXPECT_THAT(Log()[1].Data, ElementsAre(0x04));
    EXPECT_THAT(Log()[2].Data, ElementsAre(0xC7));
    EXPECT_THAT(Log()[3].Data, ElementsAre(0x01, 0x9C));
}

TEST_F(SpiFlashBridgeTest, AddressesGoMostSignificantFirstAndDropTheTopByte) {
    FlashSectorErase(Usb, 0x00012345);
    FlashSectorErase(Usb, 0xFF012345);
    ASSERT_THAT(Log(), SizeIs(2));
    for (const auto& entry : Log()) {
        EXPECT_EQ(entry.Setup.wIndex, 1);
        EXPECT_THAT(entry.Data, ElementsAre(0x20, 0x01, 0x23, 0x45));
    }
}

TEST_F(SpiFlashBridgeTest, ReadAsksForTheCountAndFetchesIt) {
    std::vector<std::uint8_t> buffer(64);
    ASSERT_TRUE(FlashRead(Usb, 0x001000, 64, buffer.data()));
    const auto commands = Requests(0x81);
    ASSERT_THAT(commands, SizeIs(1));
    EXPECT_EQ(commands[0].Setup, (SetupPacket{0x43, 0x81, 0x0040, 1, 4}));
    EXPECT_THAT(commands[0].Data, ElementsAre(0x03, 0x00, 0x10, 0x00));
    const auto fetches = Requests(0x82);
    ASSERT_THAT(fetches, SizeIs(1));
    EXPECT_EQ(fetches[0].Setup, (SetupPacket{0xC3, 0x82, 0, 0, 64}));
}

TEST_F(SpiFlashBridgeTest, FailedReadCommandEndsTheRead) {
    Device.Usb()->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.bRequest == 0x81; });
    std::uint8_t buffer[4] = {};
    EXPECT_FALSE(FlashRead(Usb, 0, 4, buffer));
    EXPECT_THAT(Log(), SizeIs(1));
}

TEST_F(SpiFlashBridgeTest, ReadGivesUpAfterAHundredPollsOneMillisecondApart) {
    StallBridge();
    std::uint8_t buffer[4] = {};
    const auto start = Time.Now();
    EXPECT_FALSE(FlashRead(Usb, 0, 4, buffer));
    EXPECT_THAT(Requests(0x83), SizeIs(100));
    EXPECT_THAT(Requests(0x82), IsEmpty());
    EXPECT_GE(Time.Now() - start, std::chrono::milliseconds(99));
}

TEST_F(SpiFlashBridgeTest, StatusIsFFWhenTheBridgeNeverBecomesReady) {
    StallBridge();
    EXPECT_EQ(FlashReadStatus(Usb), 0xFF);
    EXPECT_THAT(Requests(0x83), SizeIs(10));
    EXPECT_THAT(Requests(0x82), IsEmpty());
}

TEST_F(SpiFlashBridgeTest, IdKeepsItsContentWhenTheBridgeNeverBecomesReady) {
    StallBridge();
    FlashIdBytes flashId{0x12, 0x34, 0x56};
    EXPECT_FALSE(FlashReadId(Usb, flashId));
    EXPECT_THAT(flashId, ElementsAre(0x12, 0x34, 0x56));
    EXPECT_THAT(Requests(0x83), SizeIs(100));
    EXPECT_THAT(Requests(0x82), IsEmpty());
}

TEST_F(SpiFlashBridgeTest, PageProgramIsAnOpenAddressPacketThenTheData) {
    std::vector<std::uint8_t> data(256, 0x5A);
    Device.Usb()->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.wIndex == 0; });
    EXPECT_TRUE(FlashPageProgram(Usb, 0x000100, 256, data.data()));  // only the data counts
    ASSERT_THAT(Log(), SizeIs(2));
    EXPECT_EQ(Log()[0].Setup, (SetupPacket{0x43, 0x80, 0, 0, 4}));
    EXPECT_THAT(Log()[0].Data, ElementsAre(0x02, 0x00, 0x01, 0x00));
    EXPECT_EQ(Log()[1].Setup, (SetupPacket{0x43, 0x80, 0, 1, 256}));
}

TEST_F(SpiFlashBridgeTest, AaiSendsOneSixBytePacketThenOneWordPerPacket) {
    std::vector<std::uint8_t> data(256);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_TRUE(FlashAaiProgram(Usb, 0x000200, 2, data.data()));
    ASSERT_THAT(Log(), SizeIs(1));
    EXPECT_THAT(Log()[0].Data, ElementsAre(0xAD, 0x00, 0x02, 0x00, 0x00, 0x01));

    ClearLog();
    ASSERT_TRUE(FlashAaiProgram(Usb, 0x000200, 256, data.data()));
    ASSERT_THAT(Log(), SizeIs(128));
    EXPECT_THAT(Log()[1].Data, ElementsAre(0xAD, 0x02, 0x03));
    EXPECT_THAT(Log()[127].Data, ElementsAre(0xAD, 0xFE, 0xFF));
    for (const auto& entry : Log()) {
        EXPECT_EQ(entry.Setup.wIndex, 1);
    }
}

TEST_F(SpiFlashBridgeTest, OutOfRangeCountsAreRefusedBeforeAnythingIsSent) {
    std::vector<std::uint8_t> buffer(300);
    EXPECT_FALSE(FlashRead(Usb, 0, 0, buffer.data()));
    EXPECT_FALSE(FlashRead(Usb, 0, 256, buffer.data()));
    EXPECT_FALSE(FlashRead(Usb, 0, 16, nullptr));
    EXPECT_FALSE(FlashPageProgram(Usb, 0, 0, buffer.data()));
    EXPECT_FALSE(FlashPageProgram(Usb, 0, 257, buffer.data()));
    EXPECT_FALSE(FlashAaiProgram(Usb, 0, 0, buffer.data()));
    EXPECT_FALSE(FlashAaiProgram(Usb, 0, 1, buffer.data()));
    EXPECT_FALSE(FlashAaiProgram(Usb, 0, 5, buffer.data()));
    EXPECT_FALSE(SpiWrite(Usb, 0x01, 4, buffer.data()));
    EXPECT_THAT(Log(), IsEmpty());
    EXPECT_TRUE(FlashRead(Usb, 0, 255, buffer.data()));
}

TEST_F(SpiFlashBridgeTest, FetchOfMoreThanTheFlashReturnedIsStalled) {
    SpiReadCommand(Usb, 0x9F, 3);
    std::uint8_t buffer[4] = {};
    EXPECT_FALSE(SpiFetch(Usb, 4, buffer));
    EXPECT_TRUE(SpiFetch(Usb, 3, buffer));
}

}  // namespace
}  // namespace zarn
