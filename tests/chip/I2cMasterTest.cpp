#include "chip/I2cMaster.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipRegisters.h"
#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

class I2cMasterTest : public ::testing::Test, public fakes::VirtualChipFixture {
protected:
    I2cMasterTest() {
        Chip().Bus().Connect(0x20 >> 1, Device20);
        I2cInit(Usb);
        ClearLog();
    }

    // Values written to one register, in order.
    std::vector<std::uint8_t> WritesTo(std::uint16_t registerNumber) const {
        std::vector<std::uint8_t> values;
        for (const auto& [number, value] : RegisterWrites()) {
            if (number == registerNumber) {
                values.push_back(value);
            }
        }
        return values;
    }

    std::shared_ptr<RegisterI2cDevice> Device20 = std::make_shared<RegisterI2cDevice>();
};

TEST_F(I2cMasterTest, InitSelectsBankFourteenOnEveryCall) {
    ASSERT_TRUE(I2cInit(Usb));
    EXPECT_THAT(RegisterWrites(), ElementsAre(Pair(0x00, 0x0E), Pair(0x11, 0x04)));
}

TEST_F(I2cMasterTest, WritesThenReadsBackADeviceRegister) {
    const std::uint8_t data[3] = {0x11, 0x22, 0x33};
    ASSERT_TRUE(I2cWrite(Usb, 0x20, 0x40, 3, data));
    EXPECT_EQ(Device20->Registers[0x40], 0x11);
    EXPECT_EQ(Device20->Registers[0x42], 0x33);

    ClearLog();
    std::uint8_t buffer[3] = {};
    ASSERT_TRUE(I2cRead(Usb, 0x20, 0x40, 3, buffer));
    EXPECT_THAT(buffer, ElementsAre(0x11, 0x22, 0x33));
    // Addresses of both phases, the register, then the three receive commands and a stop.
    EXPECT_THAT(WritesTo(0x12), ElementsAre(0x20, 0x40, 0x21));
    EXPECT_THAT(WritesTo(0x10), ElementsAre(0xC0, 0xC0, 0x80, 0x80, 0x90, 0xA0));
}

TEST_F(I2cMasterTest, OneByteIsReceivedWithoutAcknowledge) {
    std::uint8_t value = 0;
    Device20->Registers[0x07] = 0x77;
    ASSERT_TRUE(I2cRead(Usb, 0x20, 0x07, 1, &value));
    EXPECT_EQ(value, 0x77);
    EXPECT_THAT(WritesTo(0x10), ElementsAre(0xC0, 0xC0, 0x90, 0xA0));
}

TEST_F(I2cMasterTest, AnAbsentDeviceGetsTenAddressAttemptsAndAStop) {
    const std::uint8_t data = 0x01;
    EXPECT_FALSE(I2cWrite(Usb, 0x40, 0x05, 1, &data));
    std::vector<std::uint8_t> bus(10, 0xC0);
    bus.push_back(0xA0);
    EXPECT_EQ(WritesTo(0x10), bus);
    EXPECT_EQ(WritesTo(0x12), std::vector<std::uint8_t>(10, 0x40));  // never the register byte
}

TEST_F(I2cMasterTest, ReadOfNothingStillAddressesTwiceAndStops) {
    const std::uint8_t command[2] = {0x40, 0x41};
    ASSERT_TRUE(I2cReadCmd(Usb, 0x20, 2, command, 0, nullptr));
    EXPECT_THAT(WritesTo(0x12), ElementsAre(0x20, 0x40, 0x41, 0x21));
    EXPECT_THAT(WritesTo(0x10), ElementsAre(0xC0, 0xC0, 0xA0));
}

TEST_F(I2cMasterTest, WriteCmdSendsCommandThenDataInOneTransaction) {
    const std::uint8_t command[1] = {0x10};
    const std::uint8_t data[2] = {0xAB, 0xCD};
    ASSERT_TRUE(I2cWriteCmd(Usb, 0x20, 1, command, 2, data));
    EXPECT_THAT(WritesTo(0x12), ElementsAre(0x20, 0x10, 0xAB, 0xCD));
    EXPECT_EQ(Device20->Registers[0x11], 0xCD);
}

TEST_F(I2cMasterTest, ByteOperationsFollowTheRegisterProtocol) {
    I2cStart(Usb);
    ClearLog();
    EXPECT_TRUE(I2cWriteByte(Usb, 0x20));
    EXPECT_THAT(RegisterWrites(), ElementsAre(Pair(0x14, 0x01), Pair(0x12, 0x20)));
    ClearLog();
    std::uint8_t value = 0;
    EXPECT_TRUE(I2cReadByte(Usb, true, &value));
    EXPECT_THAT(RegisterWrites(), ElementsAre(Pair(0x10, 0x90), Pair(0x14, 0x03)));
}

TEST_F(I2cMasterTest, TransactionsReachTheBusOnlyWithBankFourteenSelected) {
    SetRegisterBank(Usb, 0);  // as the mailbox leaves it
    const std::uint8_t data = 0x01;
    I2cWrite(Usb, 0x20, 0x05, 1, &data);
    EXPECT_EQ(Device20->Registers[0x05], 0x00);
    I2cInit(Usb);
    EXPECT_TRUE(I2cWrite(Usb, 0x20, 0x05, 1, &data));
    EXPECT_EQ(Device20->Registers[0x05], 0x01);
}

}  // namespace
}  // namespace zarn
