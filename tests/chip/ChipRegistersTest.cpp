#include "chip/ChipRegisters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/FakeDeviceLayer.h"
#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using ::testing::SizeIs;

class ChipRegistersTest : public ::testing::Test, public fakes::VirtualChipFixture {};

TEST_F(ChipRegistersTest, RegisterWriteCarriesTheNumberInWIndexAndTheValueAsData) {
    ASSERT_TRUE(RegWrite(Usb, 0x0033, 0xA5));
    ASSERT_THAT(Log(), SizeIs(1));
    EXPECT_EQ(Log()[0].Setup, (SetupPacket{0x43, 0x90, 0x0000, 0x0033, 1}));
    EXPECT_THAT(Log()[0].Data, ElementsAre(0xA5));

    std::uint8_t value = 0;
    ASSERT_TRUE(RegRead(Usb, 0x0033, &value));
    EXPECT_EQ(Log()[1].Setup, (SetupPacket{0xC3, 0x91, 0x0000, 0x0033, 1}));
    EXPECT_EQ(value, 0xA5);
}

TEST_F(ChipRegistersTest, RegistersAreBankedByRegisterZero) {
    SetRegisterBank(Usb, 3);
    RegWrite(Usb, 0x40, 0x11);
    ClearLog();
    ASSERT_TRUE(SetRegisterBank(Usb, 14));
    EXPECT_THAT(RegisterWrites(), ElementsAre(Pair(0x00, 0x0E)));  // exactly one request
    RegWrite(Usb, 0x40, 0x22);
    std::uint8_t value = 0;
    SetRegisterBank(Usb, 3);
    RegRead(Usb, 0x40, &value);
    EXPECT_EQ(value, 0x11);
    EXPECT_EQ(Chip().Register(14, 0x40), 0x22);
    RegRead(Usb, 0x00, &value);
    EXPECT_EQ(value, 3);
}

TEST_F(ChipRegistersTest, EnteringAndLeavingIspModeSetTheIspRegisters) {
    ASSERT_TRUE(SetIspMode(Usb, true));
    EXPECT_TRUE(Chip().IsIspMode());
    ASSERT_THAT(Log(), SizeIs(4));
    EXPECT_EQ(Log()[0].Setup, (SetupPacket{0x43, 0x84, 0x4C63, 0x2B6A, 0}));
    EXPECT_THAT(RegisterWrites(),
                ElementsAre(Pair(0x00, 0x0D), Pair(0x07, 0x10), Pair(0x01, 0x03)));

    ClearLog();
    ASSERT_TRUE(SetIspMode(Usb, false));
    EXPECT_FALSE(Chip().IsIspMode());
    EXPECT_EQ(Log()[0].Setup, (SetupPacket{0x43, 0x85, 0x1F3D, 0x3D5F, 0}));
    EXPECT_THAT(RegisterWrites(), ElementsAre(Pair(0x00, 0x0D), Pair(0x07, 0x00)));
    EXPECT_EQ(Chip().Register(13, 0x01), 0x03);  // leaving does not touch register 0x01
    EXPECT_EQ(Chip().SelectedBank(), 13);
}

TEST_F(ChipRegistersTest, OnlyTheExactMagicValuesSwitchIspMode) {
    EXPECT_TRUE(Usb.VendorRequest(0x43, 0x84, 0x4C63, 0x2B6B, nullptr, 0));
    EXPECT_TRUE(Usb.VendorRequest(0x43, 0x84, 0x1F3D, 0x3D5F, nullptr, 0));
    EXPECT_FALSE(Chip().IsIspMode());
    SetIspMode(Usb, true);
    EXPECT_TRUE(Usb.VendorRequest(0x43, 0x85, 0x4C63, 0x2B6A, nullptr, 0));
    EXPECT_TRUE(Chip().IsIspMode());
}

TEST_F(ChipRegistersTest, SwitchResultIsReportedButTheRegisterWritesGoOn) {
    Device.Usb()->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.bRequest == 0x84; });
    EXPECT_FALSE(SetIspMode(Usb, true));
    EXPECT_THAT(RegisterWrites(), SizeIs(3));
}

TEST_F(ChipRegistersTest, WithTheTransportClosedNothingIsSentAndOutputsStay) {
    Usb.Close();
    std::uint8_t value = 0x5A;
    EXPECT_FALSE(RegRead(Usb, 0x10, &value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_FALSE(RegWrite(Usb, 0x10, 1));
    EXPECT_FALSE(SetRegisterBank(Usb, 14));
    EXPECT_FALSE(SpiReady(Usb));
    EXPECT_FALSE(SetIspMode(Usb, true));
    EXPECT_THAT(Log(), IsEmpty());
}

TEST_F(ChipRegistersTest, FailedReadLeavesTheCallersByte) {
    Device.Usb()->FailRequestsWhere([](const SetupPacket&, std::size_t) { return true; });
    std::uint8_t value = 0x5A;
    EXPECT_FALSE(RegRead(Usb, 0x10, &value));
    EXPECT_EQ(value, 0x5A);
}

TEST_F(ChipRegistersTest, UnknownRequestsAndMalformedOnesAreStalled) {
    std::uint8_t buffer[2] = {};
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x99, 0, 0, buffer, 1));
    EXPECT_FALSE(Usb.VendorRequest(0x43, 0x90, 0, 0x100, buffer, 1));  // no register 0x100
    EXPECT_FALSE(Usb.VendorRequest(0x43, 0x90, 0, 0x10, buffer, 2));   // registers are one byte
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x90, 0, 0x10, buffer, 1));   // wrong direction
}

struct ReadyCase {
    const char* Name;
    std::vector<std::uint8_t> Answer;
    bool Fails;
    bool Ready;
};

void PrintTo(const ReadyCase& c, std::ostream* out) {
    *out << c.Name;
}

class SpiReadyTest : public ::testing::TestWithParam<ReadyCase> {};

TEST_P(SpiReadyTest, AnyNonZeroByteOfASuccessfulPollIsReady) {
    const std::string path = "\\\\?\\usb#vid_1c7a&pid_6000#1";
    fakes::FakeDeviceLayer layer;
    layer.SetPaths(GUID_DEVINTERFACE_USB_DEVICE, {path});
    layer.OpenablePaths = {path};
    if (GetParam().Fails) {
        layer.FailingPaths = {path};
    }
    layer.Answer = GetParam().Answer;
    KeldrixUsb usb(layer);
    usb.Connect();
    usb.Open();
    EXPECT_EQ(SpiReady(usb), GetParam().Ready);
}

INSTANTIATE_TEST_SUITE_P(Polls, SpiReadyTest,
                         ::testing::Values(ReadyCase{"Zero", {0x00}, false, false},
                                           ReadyCase{"One", {0x01}, false, true},
                                           ReadyCase{"HighBit", {0x80}, false, true},
                                           ReadyCase{"NothingReturned", {}, false, false},
                                           ReadyCase{"Failed", {0x01}, true, false}),
                         [](const auto& info) { return info.param.Name; });

TEST_F(ChipRegistersTest, BridgeIsReadyOnceItHasClockedTheCommandOut) {
    Chip().SetSpiClock(1000);  // 1 kHz: a one-byte command takes 8 ms
    Usb.VendorRequest(0x43, 0x80, 0, 1, std::array<std::uint8_t, 1>{0x06}.data(), 1);
    EXPECT_FALSE(SpiReady(Usb));
    Usb.GetClock().Sleep(8);
    EXPECT_TRUE(SpiReady(Usb));
}

}  // namespace
}  // namespace zarn
