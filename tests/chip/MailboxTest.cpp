#include "chip/Mailbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipRegisters.h"
#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::SizeIs;

class MailboxTest : public ::testing::Test, public fakes::VirtualChipFixture {
protected:
    std::vector<std::uint16_t> RegisterReads() const {
        std::vector<std::uint16_t> reads;
        for (const auto& entry : Requests(0x91)) {
            reads.push_back(entry.Setup.wIndex);
        }
        return reads;
    }
};

TEST_F(MailboxTest, ParameterBlockWrittenThenReadBack) {
    std::uint8_t block[4] = {0xB2, 0x01, 0x02, 0x03};
    ASSERT_TRUE(MailboxCommand(Usb, 0x10, 0x20, 0, 4, block));
    EXPECT_THAT(Chip().Firmware().ParameterBlock, ElementsAre(0xB2, 0x01, 0x02, 0x03));

    std::uint8_t readBack[4] = {};
    ASSERT_TRUE(MailboxCommand(Usb, 0x10, 0x21, 0, 4, readBack));
    EXPECT_THAT(readBack, ElementsAre(0xB2, 0x01, 0x02, 0x03));
}

TEST_F(MailboxTest, HostToDeviceWritesDataFirstAndClearsTheCommandAfterwards) {
    std::uint8_t data[4] = {'3', 'e', '5', '0'};
    MailboxCommand(Usb, 0x10, 0x08, 0, 4, data);
    EXPECT_THAT(RegisterWrites(),
                ElementsAre(Pair(0x00, 0x00), Pair(0x93, '3'), Pair(0x94, 'e'), Pair(0x95, '5'),
                            Pair(0x96, '0'), Pair(0x91, 0x08), Pair(0x92, 0x00), Pair(0x90, 0x10),
                            Pair(0x90, 0x00)));
    EXPECT_THAT(Chip().Firmware().VendorIdText, ElementsAre('3', 'e', '5', '0'));
}

TEST_F(MailboxTest, DeviceToHostWritesNoDataAndReadsTheDataRegisters) {
    std::uint8_t data[4] = {};
    MailboxCommand(Usb, 0x10, 0x21, 0, 4, data);
    EXPECT_THAT(RegisterWrites(), ElementsAre(Pair(0x00, 0x00), Pair(0x91, 0x21), Pair(0x92, 0x00),
                                              Pair(0x90, 0x10)));
    const auto reads = RegisterReads();
    ASSERT_GE(reads.size(), 5u);
    EXPECT_THAT(std::vector<std::uint16_t>(reads.end() - 4, reads.end()),
                ElementsAre(0x93, 0x94, 0x95, 0x96));
    EXPECT_THAT(data, ElementsAre(0xA1, 0x00, 0x00, 0x00));
}

TEST_F(MailboxTest, WaitEndsAtTheFirstDoneAndOpensAndClosesTheTransport) {
    Chip().Firmware().ParameterDelay = std::chrono::milliseconds(1);
    Usb.Close();
    std::uint8_t block[4] = {};
    MailboxCommand(Usb, 0x10, 0x21, 0, 4, block);
    EXPECT_THAT(RegisterReads(), SizeIs(1 + 4));  // one poll, then the data
    EXPECT_FALSE(Usb.HasHandle());
    EXPECT_EQ(Chip().SelectedBank(), 0);
}

TEST_F(MailboxTest, ACommandThatNeverCompletesIsPolledTwentyTimesAndFails) {
    const auto start = Time.Now();
    std::uint8_t data[1] = {0};
    EXPECT_FALSE(MailboxCommand(Usb, 0x55, 0x00, 0, 1, data));
    EXPECT_THAT(RegisterReads(), SizeIs(20));
    EXPECT_GE(Time.Now() - start, std::chrono::milliseconds(200));
}

TEST_F(MailboxTest, FirmwareDoesNotRunInIspMode) {
    SetIspMode(Usb, true);
    std::uint8_t block[4] = {1, 2, 3, 4};
    MailboxCommand(Usb, 0x10, 0x20, 0, 4, block);
    EXPECT_THAT(Chip().Firmware().ParameterBlock, ElementsAre(0xA1, 0x00, 0x00, 0x00));
}

TEST_F(MailboxTest, StringChunksLandAtTheirIndex) {
    std::uint8_t chunk[8] = {19, 'K', 'e', 'l', 'd', 'r', 'i', 'x'};
    MailboxCommand(Usb, 0x10, 0x14, 0, 8, chunk);
    std::uint8_t tail[4] = {'2', '2', ' ', '!'};
    MailboxCommand(Usb, 0x10, 0x14, 2, 4, tail);
    const auto& record = Chip().Firmware().StringRecords[1];
    EXPECT_EQ(record[0], 19);
    EXPECT_EQ(record[7], 'x');
    EXPECT_EQ(record[16], '2');
}

TEST_F(MailboxTest, MissingBufferIsRefusedBeforeAnythingIsSent) {
    EXPECT_FALSE(MailboxCommand(Usb, 0x10, 0x20, 0, 4, nullptr));
    EXPECT_TRUE(Log().empty());
}

TEST_F(MailboxTest, MediaKeyIsRecordedAndAnswered) {
    SetRegisterBank(Usb, 0);
    RegWrite(Usb, 0x91, 0x10);
    RegWrite(Usb, 0x90, 0x30);
    Usb.GetClock().Sleep(20);
    std::uint8_t state = 0;
    RegRead(Usb, 0x90, &state);
    EXPECT_EQ(state, 0x31);
    EXPECT_THAT(Chip().Firmware().MediaKeys, ElementsAre(0x10));
}

TEST_F(MailboxTest, PlaybackStatusIsReadOnly) {
    Chip().Firmware().PlaybackStatus = {0x03, 0x00, 0x05};
    SetRegisterBank(Usb, 0);
    RegWrite(Usb, 0xA4, 0x0F);
    std::uint8_t rate = 0;
    std::uint8_t status = 0;
    RegRead(Usb, 0xA4, &rate);
    RegRead(Usb, 0xA6, &status);
    EXPECT_EQ(rate, 0x03);
    EXPECT_EQ(status, 0x05);
}

}  // namespace
}  // namespace zarn
