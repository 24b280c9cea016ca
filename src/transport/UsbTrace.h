#pragma once
// A trace of every control transfer the tool makes, as a pcap file with the Linux usbmon link
// type (LINKTYPE_USB_LINUX_MMAPPED, 220) that Wireshark and tshark read: a submission and a
// completion record per transfer with the setup packet, the data, the status (a failed
// transfer completes with an error), bus and device numbers and the device clock's time. Each
// record pair is written out as the transfer ends, so a run that stops leaves a readable file.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "transport/DeviceLayer.h"

namespace zarn {

// The file; several device layers (one per device and thread) may write to it at once.
class UsbTraceFile {
public:
    // Empty when the file cannot be created.
    static std::unique_ptr<UsbTraceFile> Create(const std::string& path);
    ~UsbTraceFile();

    struct Transfer {
        std::uint16_t Bus = 1;
        std::uint8_t Device = 1;
        SetupPacket Setup;
        std::span<const std::uint8_t> Data;  // sent (host to device) or received
        bool Completed = false;
        std::chrono::nanoseconds Submitted{0};
        std::chrono::nanoseconds Ended{0};
    };
    void Write(const Transfer& transfer);

private:
    explicit UsbTraceFile(std::FILE* file) : File(file) {}
    void Record(const Transfer& transfer, bool submission);

    std::mutex Guard;
    std::FILE* File;
    std::uint64_t NextId = 1;
};

// A device layer that passes every call on to another and traces the control transfers the
// drivers make of the I/O control calls.
class TracingDeviceLayer final : public DeviceLayer {
public:
    TracingDeviceLayer(DeviceLayer& inner, UsbTraceFile& trace, std::uint16_t bus = 1)
        : Inner(inner), Trace(trace), Bus(bus) {}

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override {
        return Inner.ListInterfaces(interfaceClass);
    }
    DeviceHandle Open(const std::string& path) override;
    bool IoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                   std::span<std::uint8_t> output) override;
    void Close(DeviceHandle handle) override;
    Clock& DeviceClock() override { return Inner.DeviceClock(); }

private:
    struct Opened {
        bool Audio;
        std::uint8_t Device;
    };

    DeviceLayer& Inner;
    UsbTraceFile& Trace;
    std::uint16_t Bus;
    std::map<DeviceHandle, Opened> Handles;
    std::map<std::string, std::uint8_t> DeviceNumbers;  // one number per device path
};

}  // namespace zarn
