#pragma once
// A virtual device with a chip and flash, attached to a virtual bus and opened through the
// transport, with helpers that read the device's request log.

#include <gtest/gtest.h>

#include <vector>

#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "transport/KeldrixUsb.h"

namespace zarn::fakes {

class VirtualChipFixture {
public:
    explicit VirtualChipFixture(const FlashPart& flash = FlashModels::W25X40)
        : Device(Time, flash, {0x31D4, 0x0053}) {
        Layer.Attach(Device.Usb());
        Usb.SetMatch("vid_1c7a&pid_6000");
        Usb.Connect();
        Usb.Open();
        Device.Usb()->ClearRequestLog();
    }

    VirtualChip& Chip() { return Device.Chip(); }
    const std::vector<RequestLogEntry>& Log() const { return Device.Usb()->RequestLog(); }
    void ClearLog() { Device.Usb()->ClearRequestLog(); }

    // The logged requests with this bRequest, in order.
    std::vector<RequestLogEntry> Requests(std::uint8_t bRequest) const {
        std::vector<RequestLogEntry> found;
        for (const auto& entry : Log()) {
            if (entry.Setup.bRequest == bRequest) {
                found.push_back(entry);
            }
        }
        return found;
    }

    // Register writes as (register, value) pairs, in order.
    std::vector<std::pair<std::uint16_t, std::uint8_t>> RegisterWrites() const {
        std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
        for (const auto& entry : Requests(0x90)) {
            writes.emplace_back(entry.Setup.wIndex, entry.Data.at(0));
        }
        return writes;
    }

    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    VirtualChipDevice Device;
    KeldrixUsb Usb{Layer};
};

}  // namespace zarn::fakes
