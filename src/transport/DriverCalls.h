#pragma once
// What the two device drivers make of one I/O control call: the audio driver's vendor property
// (and its support query), the ISP driver's vendor in/out codes. Every backend that stands in
// for the drivers decodes calls the same way.

#include <cstdint>
#include <optional>
#include <span>

#include "transport/WireFormat.h"

namespace zarn {

// Which driver carries a request to the device.
enum class DriverPath { Audio, Isp };

struct DriverCall {
    // The audio driver's query whether it supports the vendor property set; it sends nothing
    // to the device.
    bool SupportQuery = false;
    SetupPacket Setup;
    // Host to device: the bytes to send. Device to host: where the wLength received bytes go.
    std::span<const std::uint8_t> SentData;
    std::span<std::uint8_t> ReceiveBuffer;
};

// Empty when the driver does not know the call or its bytes do not hold together: a code of the
// other driver, a property set or flags it does not serve, a data length the request does not
// carry, an output buffer smaller than the data, or an ISP record whose direction bit disagrees
// with the code. The audio driver sends vendor requests to the "other" recipient (0x43/0xC3).
std::optional<DriverCall> DecodeDriverCall(DriverPath driver, std::uint32_t code,
                                           std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output);

}  // namespace zarn
