#include "cli/FlashJobs.h"

#include <algorithm>
#include <array>

#include "app/OneButtonUpdate.h"
#include "chip/ChipRegisters.h"
#include "chip/SpiFlashBridge.h"
#include "flash/FlashWorkers.h"

namespace zarn {
namespace {

constexpr std::uint32_t ReadBlock = 64;
constexpr int ReadAttempts = 3;

// The update's texts and progress go to the sink; the run stays on the calling thread.
class SinkHost final : public InlineUpdateHost {
public:
    SinkHost(TopPanel& panel, ProgressSink& sink, std::size_t device)
        : InlineUpdateHost(panel), Sink(sink), Device(device) {}
    void ShowProcessLine(const std::string& text, ProcessStyle style) override {
        InlineUpdateHost::ShowProcessLine(text, style);
        Sink.Phase(Device, text);
    }
    void ShowProgress(const ProgressFigures& figures) override {
        Sink.Progress(Device, figures.Percent);
    }

private:
    ProgressSink& Sink;
    std::size_t Device;
};

// Finds the device and checks that it can be opened; the failure text says what to do when not.
bool Connect(KeldrixUsb& usb, const DeviceEntry& entry, JobResult& result) {
    usb.SetAudioMode(!entry.Isp);
    const std::string match = DeviceMatchText(entry.Path);
    usb.SetMatch(match.c_str());
    const bool opened = usb.Connect();
    if (!usb.IsFound()) {
        result.Failure = "the device is gone; see 'zarn-flash list'";
    } else if (!opened) {
        result.Failure =
            "cannot open the device (no permission?); install the udev rule, see "
            "README";
    }
    return opened;
}

std::string Hex6(std::uint32_t address) {
    return "0x" + AddressText(address);
}

}  // namespace

JobResult RunUpdate(DeviceLayer& layer, const DeviceEntry& entry, const ImageStore& images,
                    ProgressSink& sink, std::size_t device, bool fast) {
    const auto started = std::chrono::steady_clock::now();
    JobResult result;
    KeldrixUsb usb(layer);
    if (!Connect(usb, entry, result)) {
        return result;
    }
    FlashRunValues values;
    MonitorState monitor;
    TopPanel panel;
    SilentReporter reporter;
    SinkHost host(panel, sink, device);
    OneButtonUpdate update(usb, images, values, monitor, panel, reporter, host);
    if (fast) {
        update.UseFastProfile();
    }
    update.btnSimpleAutoClick();
    result.Ok = panel.ProcessLine == "Firmware update success!";
    if (!result.Ok) {
        result.Failure = panel.ProcessLine;
    }
    sink.Phase(device, result.Ok ? "Firmware update success!" : result.Failure);
    if (result.Ok) {
        sink.Progress(device, 100);
    }
    result.Seconds = std::chrono::steady_clock::now() - started;
    return result;
}

std::optional<std::vector<std::uint8_t>> ReadFlash(DeviceLayer& layer, const DeviceEntry& entry,
                                                   std::uint32_t start, std::uint32_t size,
                                                   ProgressSink& sink, std::size_t device,
                                                   JobResult& result) {
    const auto started = std::chrono::steady_clock::now();
    KeldrixUsb usb(layer);
    if (!Connect(usb, entry, result)) {
        return std::nullopt;
    }
    usb.Open();
    sink.Phase(device, "Enter ISP Mode");
    if (!SetIspMode(usb, true)) {
        result.Failure = "Enter ISP Mode Fail";
        usb.Close();
        return std::nullopt;
    }
    sink.Phase(device, "Reading");
    std::vector<std::uint8_t> bytes(size, 0xFF);
    bool read = true;
    for (std::uint64_t offset = 0; offset < size && read; offset += ReadBlock) {
        const auto at = static_cast<std::uint32_t>(offset);
        const auto count =
            static_cast<std::uint16_t>(std::min<std::uint64_t>(ReadBlock, size - offset));
        read = false;
        for (int attempt = 0; attempt < ReadAttempts && !read; ++attempt) {
            read = FlashRead(usb, start + at, count, bytes.data() + at);
        }
        if (!read) {
            result.Failure = "Read Fail at " + Hex6(start + at);
        }
        sink.Progress(device, static_cast<int>((offset + count) * 100 / size));
    }
    const bool left = SetIspMode(usb, false);
    usb.Close();
    if (read && !left) {
        result.Failure = "Exit ISP Mode Fail";
    }
    result.Ok = read && left;
    result.Seconds = std::chrono::steady_clock::now() - started;
    if (!read) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace zarn
