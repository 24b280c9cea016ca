// The libusb backend through real libusb, against devices in emulated sysfs and usbfs that the
// virtual chip answers.

#include "transport/LibusbDeviceLayer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "app/OneButtonUpdate.h"
#include "chip/ChipRegisters.h"
#include "chip/SpiFlashBridge.h"
#include "sim/VirtualChipDevice.h"
#include "usb/UsbfsTestbed.h"

namespace zarn {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class LibusbLayerTest : public ::testing::Test {
protected:
    LibusbLayerTest() {
        Product.LoadFirmware(std::vector<std::uint8_t>(64, 0x11));
        ProductSysfsPath = Testbed.Plug(Product.Usb(), 2);
        Testbed.Plug(Isp.Usb(), 3);
        Layer = LibusbDeviceLayer::Create(Time, 200);
        Usb = std::make_unique<KeldrixUsb>(*Layer);
    }

    void ConnectProduct() {
        Usb->SetAudioMode(true);
        Usb->SetMatch("vid_31d4&pid_0053");
        ASSERT_TRUE(Usb->Connect());
        ASSERT_TRUE(Usb->Open());
    }

    // Gives libusb's hotplug thread the time to take in a removal; bounded.
    bool WaitUntilGone() {
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (!Usb->Scan()) {
                return true;
            }
            std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    VirtualClock Time;
    fakes::UsbfsTestbed Testbed;
    VirtualChipDevice Product{Time, FlashModels::W25Q40, {0x31D4, 0x0053}};
    VirtualChipDevice Isp{Time, FlashModels::SST25VF040B, {0x31D4, 0x0053}};
    std::string ProductSysfsPath;
    std::unique_ptr<LibusbDeviceLayer> Layer;
    std::unique_ptr<KeldrixUsb> Usb;
};

TEST_F(LibusbLayerTest, ListsAudioDevicesOnTheAudioPathAndEveryDeviceOnTheIspPath) {
    ASSERT_NE(Layer, nullptr);
    const auto audio = Layer->ListInterfaces(AudioPathInterfaceClass);
    const auto all = Layer->ListInterfaces(GUID_DEVINTERFACE_USB_DEVICE);
    ASSERT_TRUE(audio && all);
    ASSERT_EQ(audio->size(), 1u);
    EXPECT_THAT((*audio)[0], HasSubstr("vid_31d4&pid_0053"));
    EXPECT_EQ(all->size(), 2u);
}

TEST_F(LibusbLayerTest, ConnectsAProductOnTheAudioPathAndAnIspIdentityOnTheIspPath) {
    ConnectProduct();
    EXPECT_THAT(Usb->GetDevicePath(), HasSubstr("vid_31d4&pid_0053"));

    Usb->Close();
    Usb->SetAudioMode(false);
    Usb->SetMatch("vid_1c7a&pid_6000");
    EXPECT_TRUE(Usb->Connect());  // the probe is a real GET_DESCRIPTOR
    auto lock = Testbed.Lock();
    ASSERT_FALSE(Isp.Usb()->RequestLog().empty());
    EXPECT_EQ(Isp.Usb()->RequestLog().back().Setup, (SetupPacket{0x80, 6, 0x0100, 0x0001, 18}));
}

TEST_F(LibusbLayerTest, RegistersAndFlashThroughRealLibusb) {
    ConnectProduct();
    ASSERT_TRUE(RegWrite(*Usb, 0x40, 0xA7));
    std::uint8_t value = 0;
    ASSERT_TRUE(RegRead(*Usb, 0x40, &value));
    EXPECT_EQ(value, 0xA7);

    SetIspMode(*Usb, true);
    FlashIdBytes id{};
    ASSERT_TRUE(FlashReadId(*Usb, id));
    EXPECT_EQ(id, FlashModels::W25Q40.JedecId);
    std::vector<std::uint8_t> block(64);
    ASSERT_TRUE(FlashRead(*Usb, 0, 64, block.data()));
    EXPECT_EQ(block, std::vector<std::uint8_t>(64, 0x11));
}

TEST_F(LibusbLayerTest, StalledRequestFails) {
    ConnectProduct();
    {
        auto lock = Testbed.Lock();
        Product.Usb()->FailRequestsWhere(
            [](const SetupPacket& setup, std::size_t) { return setup.bRequest == 0x91; });
    }
    std::uint8_t value = 0x5A;
    EXPECT_FALSE(RegRead(*Usb, 0x40, &value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_TRUE(RegWrite(*Usb, 0x40, 1));
}

TEST_F(LibusbLayerTest, RequestTheDeviceNeverAnswersFailsInsteadOfHanging) {
    ConnectProduct();
    Testbed.SetNeverAnswer(true);
    std::uint8_t value = 0;
    EXPECT_FALSE(RegRead(*Usb, 0x40, &value));
    Testbed.SetNeverAnswer(false);
}

TEST_F(LibusbLayerTest, AudioProbeAsksTheDevice) {
    {
        auto lock = Testbed.Lock();
        Product.Usb()->FailRequestsWhere([](const SetupPacket&, std::size_t) { return true; });
    }
    Usb->SetAudioMode(true);
    Usb->SetMatch("vid_31d4&pid_0053");
    EXPECT_FALSE(Usb->Connect());
    EXPECT_TRUE(Usb->IsFound());
}

TEST_F(LibusbLayerTest, DeviceUnpluggedWhileOpenFailsTheNextRequest) {
    ConnectProduct();
    Testbed.Unplug(ProductSysfsPath);
    std::uint8_t value = 0;
    EXPECT_FALSE(RegRead(*Usb, 0x40, &value));
}

TEST_F(LibusbLayerTest, ScanAfterUnplugDropsTheDeviceButKeepsItsPath) {
    ConnectProduct();
    const std::string path = Usb->GetDevicePath();
    Usb->Close();
    Testbed.Unplug(ProductSysfsPath);
    ASSERT_TRUE(WaitUntilGone());
    EXPECT_EQ(Usb->GetDevicePath(), path);
    EXPECT_FALSE(Usb->Open());
}

TEST_F(LibusbLayerTest, WholeUpdateThroughRealLibusb) {
    ConnectProduct();
    Usb->Close();
    ImageStore images;
    FillImage(images, 0xFF);
    for (std::uint32_t i = 0; i < 0x1000; ++i) {
        images.ImageBuffer[i] = static_cast<std::uint8_t>(i * 5 + 3);
    }
    images.ImageLength = 0x1000;
    SilentReporter quiet;
    FlashRunValues values;
    MonitorState monitor;
    TopPanel panel;
    InlineUpdateHost host(panel);
    OneButtonUpdate update(*Usb, images, values, monitor, panel, quiet, host);
    update.btnSimpleAutoClick();
    EXPECT_EQ(panel.ProcessLine, "Firmware update success!");
    auto lock = Testbed.Lock();
    const auto flash = Product.Chip().Flash().Array();
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 0x1000, images.ImageBuffer.begin()));
    EXPECT_FALSE(Product.Chip().IsIspMode());
}

}  // namespace
}  // namespace zarn
