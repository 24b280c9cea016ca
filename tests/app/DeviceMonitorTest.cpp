#include "app/DeviceMonitor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "app/DeviceTable.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "support/HexText.h"

namespace zarn {
namespace {

using ::testing::ElementsAre;

const std::string GoodFirmware = fakes::DataRecord(0, {0x02, 0x00, 0x30, 0x11}) + fakes::EndOfFile;

class DeviceMonitorTest : public ::testing::Test {
protected:
    DeviceMonitorTest() { Monitor.chkDetectUSBClick(true); }

    // A device whose flash holds firmware, so it shows the product identity.
    std::shared_ptr<VirtualChipDevice> AttachProduct(std::uint16_t pid) {
        auto device = std::make_shared<VirtualChipDevice>(Time, FlashModels::W25X40,
                                                          UsbIdentity{0x31D4, pid});
        device->LoadFirmware(std::vector<std::uint8_t>{0x02, 0x00, 0x30});
        Layer.Attach(device->Usb());
        return device;
    }

    std::shared_ptr<VirtualChipDevice> AttachBlank(UsbIdentity isp) {
        auto device = std::make_shared<VirtualChipDevice>(Time, FlashModels::W25X40,
                                                          UsbIdentity{0x31D4, 0x0053}, isp);
        Layer.Attach(device->Usb());
        return device;
    }

    // Ticks until the device line changes from "nothing", at most one search cycle.
    int TickUntilFound() {
        for (int tick = 1; tick <= 16; ++tick) {
            Monitor.Timer1Timer();
            if (Usb.IsFound()) {
                return tick;
            }
        }
        return 0;
    }

    // The identity each of the next ticks tries, with the path it selects.
    std::vector<std::string> NextTries(int ticks) {
        std::vector<std::string> tries;
        for (int i = 0; i < ticks; ++i) {
            Monitor.Timer1Timer();
            tries.push_back((Usb.IsAudioMode() ? "audio " : "isp ") + std::string(Usb.GetMatch()));
        }
        return tries;
    }

    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    KeldrixUsb Usb{Layer};
    ImageStore Images;
    TopPanel Panel;
    fakes::TemporaryDirectory Directory;
    DeviceMonitor Monitor{Usb, Images, Panel, [this] { return Directory.Path; }};
};

TEST_F(DeviceMonitorTest, SearchAlternatesProductsFromRowOneWithTheTwoIspIdentities) {
    EXPECT_THAT(NextTries(5), ElementsAre("audio vid_31d4&pid_0054", "isp vid_3e52&pid_6000",
                                          "audio vid_31d4&pid_0055", "isp vid_1c7a&pid_6000",
                                          "audio vid_31d4&pid_0056"));
    const auto later = NextTries(11);
    EXPECT_EQ(later[9], "audio vid_31d4&pid_0053");  // row 0 on the eighth product try
    EXPECT_EQ(Panel.DeviceLine, "No device is available");
}

TEST_F(DeviceMonitorTest, FirstTickKeepsTheSecondCadenceThenTheSearchRunsEveryTenthSecond) {
    EXPECT_EQ(Monitor.Timer1Timer(), std::nullopt);
    EXPECT_EQ(Monitor.Timer1Timer(), DeviceMonitor::SearchInterval);
    EXPECT_EQ(Monitor.Timer1Timer(), std::nullopt);
}

TEST_F(DeviceMonitorTest, FoundProductWithoutItsFileWaitsForTheFile) {
    AttachProduct(0x0053);
    ASSERT_GT(TickUntilFound(), 0);
    EXPECT_EQ(Panel.DeviceLine, "Find Device Zarn Pell");
    EXPECT_EQ(Panel.FileLine, "No Updated File !");
    EXPECT_FALSE(Panel.StartEnabled);

    Directory.Write("Zarn_Pell.hex", GoodFirmware);
    EXPECT_EQ(Monitor.Timer1Timer(), DeviceMonitor::WatchInterval);
    EXPECT_EQ(Panel.FileLine, "Update Hex file   Zarn_Pell.hex    is Ready!");
    EXPECT_EQ(Panel.Lamp, LampColor::Green);
    EXPECT_TRUE(Panel.StartEnabled);
    EXPECT_TRUE(Images.FirmwareFileLoaded);
    EXPECT_EQ(Images.ImageLength, 4u);
    EXPECT_EQ(Images.FirmwareFilePath, (Directory.Path / "Zarn_Pell.hex").string());
}

class ReserveRowTest : public DeviceMonitorTest,
                       public ::testing::WithParamInterface<std::uint16_t> {};

TEST_P(ReserveRowTest, ReserveRowsShareTheSeriesFile) {
    Directory.Write("Zarn_LumeSer.hex", GoodFirmware);
    AttachProduct(GetParam());
    ASSERT_GT(TickUntilFound(), 0);
    EXPECT_EQ(Panel.DeviceLine, "Find Device Zarn reserve");
    EXPECT_EQ(Panel.FileLine, "Update Hex file   Zarn_LumeSer.hex    is Ready!");
    EXPECT_TRUE(Panel.StartEnabled);
}

INSTANTIATE_TEST_SUITE_P(Rows4To7, ReserveRowTest,
                         ::testing::Values(0x0052, 0x0057, 0x0058, 0x0059));

TEST_F(DeviceMonitorTest, IspIdentityIsShownAndLeavesStartAlone) {
    AttachBlank(IspIdentity1C7A);
    ASSERT_GT(TickUntilFound(), 0);
    EXPECT_EQ(Panel.DeviceLine, "Firmware update device 1C7A is exist");
    EXPECT_FALSE(Panel.StartEnabled);
    EXPECT_EQ(Panel.Lamp, LampColor::ButtonFace);
    EXPECT_EQ(Panel.FileLine, "No Updated File !");
}

TEST_F(DeviceMonitorTest, The3E52IdentityHasItsOwnText) {
    AttachBlank(IspIdentity3E52);
    ASSERT_GT(TickUntilFound(), 0);
    EXPECT_EQ(Panel.DeviceLine, "Firmware update device 3E52 is exist");
}

TEST_F(DeviceMonitorTest, UnplugShowsNothingAndTheSearchResumesWhereItStopped) {
    Directory.Write("Zarn_Tovi.hex", GoodFirmware);
    auto device = AttachProduct(0x0055);  // row 2
    ASSERT_GT(TickUntilFound(), 0);
    ASSERT_TRUE(Panel.StartEnabled);

    device->Usb()->Unplug();
    Monitor.Timer1Timer();
    EXPECT_EQ(Panel.DeviceLine, "No device is available");
    EXPECT_EQ(Panel.Lamp, LampColor::ButtonFace);
    EXPECT_FALSE(Panel.StartEnabled);
    EXPECT_EQ(Panel.FileLine, "Update Hex file   Zarn_Tovi.hex    is Ready!");

    // Row 2 was found after 3E52 had been tried: next come 1C7A and row 3.
    EXPECT_THAT(NextTries(2), ElementsAre("isp vid_1c7a&pid_6000", "audio vid_31d4&pid_0056"));
    EXPECT_EQ(Panel.FileLine, "No Updated File !");
    EXPECT_FALSE(Images.FirmwareFileLoaded);
}

TEST_F(DeviceMonitorTest, DamagedFileKeepsStartOffUntilItIsMended) {
    Directory.Write("Zarn_Pell.hex", ":0100000001FF\n");
    AttachProduct(0x0053);
    ASSERT_GT(TickUntilFound(), 0);
    EXPECT_EQ(Panel.FileLine, "Update Hex file   Zarn_Pell.hex    is damaged!");
    EXPECT_EQ(Panel.FileLineTip, "line 1: checksum is 0xFF, should be 0xFE");
    EXPECT_FALSE(Panel.StartEnabled);
    EXPECT_NE(Panel.Lamp, LampColor::Green);
    EXPECT_FALSE(Images.FirmwareFileLoaded);

    Directory.Write("Zarn_Pell.hex", GoodFirmware);
    Monitor.Timer1Timer();
    EXPECT_TRUE(Panel.StartEnabled);
    EXPECT_TRUE(Panel.FileLineTip.empty());
}

TEST_F(DeviceMonitorTest, FileWithoutDataIsEmptyAndStartStaysOff) {
    Directory.Write("Zarn_Pell.hex", fakes::EndOfFile);
    AttachProduct(0x0053);
    ASSERT_GT(TickUntilFound(), 0);
    EXPECT_EQ(Panel.FileLine, "Update Hex file   Zarn_Pell.hex    is empty!");
    EXPECT_FALSE(Panel.StartEnabled);
}

TEST_F(DeviceMonitorTest, DetectOffGreysTheLampAndForgetsTheDevice) {
    AttachProduct(0x0054);
    ASSERT_GT(TickUntilFound(), 0);
    Monitor.chkDetectUSBClick(false);
    EXPECT_EQ(Panel.Lamp, LampColor::Grey);
    EXPECT_FALSE(Usb.IsFound());
    const auto requests = Layer.OpenHandleCount();
    Monitor.Timer1Timer();
    EXPECT_EQ(Usb.GetMatch(), std::string("vid_31d4&pid_0054"));  // no try while off
    EXPECT_EQ(Layer.OpenHandleCount(), requests);

    Monitor.chkDetectUSBClick(true);
    EXPECT_THAT(NextTries(1), ElementsAre("isp vid_3e52&pid_6000"));
}

TEST_F(DeviceMonitorTest, PausedTicksDoNothing) {
    Monitor.State.MonitorPaused = true;
    EXPECT_EQ(Monitor.Timer1Timer(), std::nullopt);
    EXPECT_EQ(Usb.GetMatch(), std::string("vid_1c7a&pid_6000"));
    EXPECT_FALSE(Usb.IsAudioMode());
}

TEST_F(DeviceMonitorTest, AfterAnUpdateTheMonitorOnlyReleasesTheHandle) {
    Directory.Write("Zarn_Pell.hex", GoodFirmware);
    auto device = AttachProduct(0x0053);
    ASSERT_GT(TickUntilFound(), 0);
    Usb.Open();
    Monitor.State.UpdateFinished = true;
    const TopPanel before = Panel;
    Monitor.Timer1Timer();
    EXPECT_FALSE(Usb.HasHandle());
    device->Replug();
    device->Usb()->Unplug();
    Monitor.Timer1Timer();
    EXPECT_EQ(Panel.DeviceLine, before.DeviceLine);
    EXPECT_EQ(Panel.StartEnabled, before.StartEnabled);
}

TEST_F(DeviceMonitorTest, OfTwoProductsTheOneNextInTheSearchIsFound) {
    AttachProduct(0x0056);  // row 3
    AttachProduct(0x0055);  // row 2
    ASSERT_GT(TickUntilFound(), 0);
    EXPECT_EQ(Panel.DeviceLine, "Find Device Zarn Tovi");
    EXPECT_EQ(Monitor.State.ProductRow, 2);
}

}  // namespace
}  // namespace zarn
