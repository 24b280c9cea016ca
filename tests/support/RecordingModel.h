#pragma once
// A device model that answers every request, fills device-to-host data with a counting pattern
// starting at bRequest, and remembers what it was given.

#include <vector>

#include "sim/DeviceModel.h"

namespace zarn::fakes {

class RecordingModel : public DeviceModel {
public:
    struct Transfer {
        SetupPacket Setup;
        std::vector<std::uint8_t> Data;
    };
    std::vector<Transfer> Transfers;

    bool ControlTransfer(const SetupPacket& setup, std::span<std::uint8_t> data) override {
        if (setup.IsDeviceToHost()) {
            for (std::size_t i = 0; i < data.size(); ++i) {
                data[i] = static_cast<std::uint8_t>(setup.bRequest + i);
            }
        }
        Transfers.push_back({setup, {data.begin(), data.end()}});
        return true;
    }
};

}  // namespace zarn::fakes
