#pragma once
// The device layer for real devices on Linux, through libusb. The audio class lists the USB
// devices that have an audio-class interface, the ISP class lists every USB device; each gets a
// path text "\\?\usb#vid_xxxx&pid_xxxx#<bus>-<ports>#{class}" that is unique per attached
// device. An I/O control call is decoded as the drivers would and sent as the same control
// transfer; the audio driver's support query becomes a device-descriptor request, so both
// probes ask the device. A device that never answers fails the request after a bounded time.

#include <libusb.h>

#include <map>
#include <memory>

#include "transport/DeviceLayer.h"
#include "transport/DriverCalls.h"

namespace zarn {

class LibusbDeviceLayer final : public DeviceLayer {
public:
    static constexpr unsigned DefaultTimeoutMs = 3000;

    // Empty when libusb cannot be set up on this machine. Pauses between requests go through
    // the clock; a transfer the device does not complete fails after timeoutMs.
    static std::unique_ptr<LibusbDeviceLayer> Create(Clock& clock,
                                                     unsigned timeoutMs = DefaultTimeoutMs);
    ~LibusbDeviceLayer() override;

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    DeviceHandle Open(const std::string& path) override;
    bool IoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                   std::span<std::uint8_t> output) override;
    void Close(DeviceHandle handle) override;
    Clock& DeviceClock() override { return Time; }

private:
    LibusbDeviceLayer(libusb_context* context, Clock& clock, unsigned timeoutMs)
        : Context(context), Time(clock), TimeoutMs(timeoutMs) {}

    struct OpenDevice {
        libusb_device_handle* Handle;
        DriverPath Driver;
    };

    // The path of a device's interface of a class; empty when it has none of that class.
    static std::string InterfacePath(libusb_device* device, const Guid& interfaceClass);

    libusb_context* Context;
    Clock& Time;
    unsigned TimeoutMs;
    std::map<DeviceHandle, OpenDevice> Handles;
    DeviceHandle NextHandle = 1;
};

}  // namespace zarn
