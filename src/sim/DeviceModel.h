#pragma once
// What answers a virtual device's vendor requests: the simulated bridge chip.

#include <cstdint>
#include <span>

#include "transport/WireFormat.h"

namespace zarn {

class DeviceModel {
public:
    virtual ~DeviceModel() = default;
    // One control transfer. For device-to-host requests the model fills data; for host-to-device
    // requests data holds what the host sent. data.size() equals setup.wLength. False stalls the
    // request.
    virtual bool ControlTransfer(const SetupPacket& setup, std::span<std::uint8_t> data) = 0;
};

}  // namespace zarn
