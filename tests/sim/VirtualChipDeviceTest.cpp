// The virtual device's USB identity and its fault injection.

#include "sim/VirtualChipDevice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "chip/ChipRegisters.h"
#include "chip/SpiFlashBridge.h"
#include "support/VirtualChipFixture.h"

namespace zarn {
namespace {

using ::testing::HasSubstr;

class VirtualChipDeviceTest : public ::testing::Test, public fakes::VirtualChipFixture {};

TEST_F(VirtualChipDeviceTest, IdentityFollowsWhetherTheFlashHoldsFirmware) {
    EXPECT_THAT(Usb.GetDevicePath(), HasSubstr("vid_1c7a&pid_6000"));
    EXPECT_FALSE(Device.Usb()->IsAudioClass());

    Device.LoadFirmware(std::vector<std::uint8_t>{0x02, 0x00, 0x30});
    Usb.SetAudioMode(true);
    Usb.SetMatch("vid_31d4&pid_0053");
    ASSERT_TRUE(Usb.Connect());
    ASSERT_TRUE(Usb.Open());
    SetIspMode(Usb, true);  // the chip's own request vocabulary works on the audio path too
    FlashWriteEnable(Usb);
    FlashSectorErase(Usb, 0);
    Device.Replug();
    EXPECT_FALSE(Usb.Scan());
    Usb.SetAudioMode(false);
    Usb.SetMatch("vid_1c7a&pid_6000");
    EXPECT_TRUE(Usb.Scan());
}

TEST_F(VirtualChipDeviceTest, ReplugLeavesIspModeAndResetsTheRegisters) {
    SetIspMode(Usb, true);
    Device.Replug();
    EXPECT_FALSE(Chip().IsIspMode());
    EXPECT_EQ(Chip().Register(13, 0x07), 0x00);
    EXPECT_FALSE(Usb.VendorRequest(0x43, 0x90, 0, 0, std::array<std::uint8_t, 1>{}.data(), 1))
        << "a handle opened before the replug is dead";
}

TEST_F(VirtualChipDeviceTest, StuckBusyBitNeverClears) {
    SetIspMode(Usb, true);
    Chip().Flash().SetStuckBusy(true);
    Usb.GetClock().Sleep(60'000);
    EXPECT_EQ(FlashReadStatus(Usb) & 0x01, 0x01);
}

TEST_F(VirtualChipDeviceTest, ChosenReadsComeBackWithABitFlipped) {
    SetIspMode(Usb, true);
    Chip().Flash().FlipBitOnReadsWhere(
        [](std::uint32_t address, std::size_t read) { return address == 0x40 && read == 0; });
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    FlashRead(Usb, 0x40, 1, &first);
    FlashRead(Usb, 0x40, 1, &second);
    EXPECT_EQ(first, 0xFE);
    EXPECT_EQ(second, 0xFF);
}

TEST_F(VirtualChipDeviceTest, EveryRequestCostsDeviceTime) {
    const auto start = Time.Now();
    std::uint8_t value = 0;
    for (int i = 0; i < 4; ++i) {
        RegRead(Usb, 0x10, &value);
    }
    EXPECT_EQ(Time.Now() - start, 4 * VirtualUsbDevice::DefaultRequestLatency);
}

}  // namespace
}  // namespace zarn
