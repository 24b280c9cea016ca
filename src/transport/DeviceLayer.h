#pragma once
// The seam between the transport and the platform: what the transport needs of the operating
// system to find, open and talk to a device interface. Each backend (real USB on Linux, the
// virtual device, Windows) answers these calls.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "transport/Clock.h"
#include "transport/WireFormat.h"

namespace zarn {

// An opened device interface. 0 stands for "no handle"; backends never hand it out.
using DeviceHandle = std::uintptr_t;
inline constexpr DeviceHandle NoHandle = 0;

class DeviceLayer {
public:
    virtual ~DeviceLayer() = default;

    // The paths of the present interfaces of a class, in the platform's order; empty when the
    // platform gives no list at all. Interfaces whose path cannot be read are left out. Each
    // path carries the device's USB identity as "vid_xxxx&pid_xxxx" in lower case.
    virtual std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) = 0;

    // Opens an interface by its path for requests; NoHandle when it cannot be opened.
    virtual DeviceHandle Open(const std::string& path) = 0;

    // One I/O control call on an opened handle: the code, the input bytes and the output buffer
    // (which also carries the data of host-to-device requests). True when the driver completed
    // the call.
    virtual bool IoControl(DeviceHandle handle, std::uint32_t code,
                           std::span<const std::uint8_t> input, std::span<std::uint8_t> output) = 0;

    virtual void Close(DeviceHandle handle) = 0;

    // The time the devices behind this layer live in; every pause between requests goes
    // through it.
    virtual Clock& DeviceClock() = 0;
};

}  // namespace zarn
