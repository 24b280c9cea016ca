// The command line's update is the window's: the same requests, in the same order.

#include <gtest/gtest.h>

#include "app/DeviceMonitor.h"
#include "app/OneButtonUpdate.h"
#include "cli/FlashJobs.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"

namespace zarn {
namespace {

class NoSink final : public ProgressSink {
public:
    void Phase(std::size_t, const std::string&) override {}
    void Progress(std::size_t, int) override {}
};

struct Product {
    Product() : Device(Time, FlashModels::W25Q40, {0x31D4, 0x0054}) {
        Device.LoadFirmware(std::vector<std::uint8_t>(0x100, 0x11));
        Layer.Attach(Device.Usb());
    }
    // The requests from the switch into ISP mode on.
    std::vector<std::tuple<std::uint8_t, std::uint16_t, std::uint16_t, std::vector<std::uint8_t>>>
    RunRequests() const {
        std::vector<
            std::tuple<std::uint8_t, std::uint16_t, std::uint16_t, std::vector<std::uint8_t>>>
            requests;
        bool started = false;
        for (const auto& entry : Device.Usb()->RequestLog()) {
            started |= entry.Setup.bRequest == 0x84;
            if (started) {
                requests.emplace_back(entry.Setup.bRequest, entry.Setup.wValue, entry.Setup.wIndex,
                                      entry.Data);
            }
        }
        return requests;
    }
    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    VirtualChipDevice Device;
};

TEST(CliUpdate, SendsExactlyTheRequestsOfTheWindowsUpdate) {
    ImageStore images;
    FillImage(images, 0xFF);
    for (std::uint32_t i = 0; i < 0x1800; ++i) {
        images.ImageBuffer[i] = static_cast<std::uint8_t>(i * 3 + 7);
    }
    images.ImageLength = 0x1800;

    Product window;
    KeldrixUsb usb(window.Layer);
    MonitorState monitor;
    TopPanel panel;
    SilentReporter report;
    InlineUpdateHost host(panel);
    FlashRunValues values;
    usb.SetAudioMode(true);
    usb.SetMatch("vid_31d4&pid_0054");
    usb.Connect();
    OneButtonUpdate update(usb, images, values, monitor, panel, report, host);
    update.btnSimpleAutoClick();
    ASSERT_EQ(panel.ProcessLine, "Firmware update success!");

    Product commandLine;
    NoSink sink;
    const auto entries = FindDevices(commandLine.Layer);
    ASSERT_EQ(entries.size(), 1u);
    const JobResult result = RunUpdate(commandLine.Layer, entries[0], images, sink, 0);
    EXPECT_TRUE(result.Ok) << result.Failure;

    const auto expected = window.RunRequests();
    const auto got = commandLine.RunRequests();
    EXPECT_GT(expected.size(), 1000u);
    EXPECT_TRUE(expected == got) << expected.size() << " vs " << got.size();
}

}  // namespace
}  // namespace zarn
