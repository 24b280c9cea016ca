#pragma once
// Questions about a virtual device's request log that several suites ask.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/VirtualUsbDevice.h"

namespace zarn::fakes {

// Requests of a kind; with an opcode, the flash commands that begin with it (the data packet of
// a page program is not a command of its own: a 0x80 packet with wIndex 0 leaves the command
// open).
inline std::size_t CountRequests(const std::vector<RequestLogEntry>& log, std::uint8_t bRequest,
                                 int opcode = -1) {
    std::size_t count = 0;
    bool commandStarts = true;
    for (const auto& entry : log) {
        count += entry.Setup.bRequest == bRequest && commandStarts &&
                 (opcode < 0 || (!entry.Data.empty() && entry.Data[0] == opcode));
        if (entry.Setup.bRequest == 0x80) {
            commandStarts = entry.Setup.wIndex == 1;
        }
    }
    return count;
}

// The value of the last write-status command sent (0 when none was).
inline std::uint8_t LastStatusWritten(const std::vector<RequestLogEntry>& log) {
    std::uint8_t value = 0;
    for (const auto& entry : log) {
        if (entry.Setup.bRequest == 0x80 && entry.Data.size() == 2 && entry.Data[0] == 0x01) {
            value = entry.Data[1];
        }
    }
    return value;
}

}  // namespace zarn::fakes
