#pragma once
// The devices the command line works on: the machine's USB devices through libusb, or virtual
// ones made in the process. Each device is driven from a thread of its own through a device
// layer of its own.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "transport/DeviceLayer.h"

namespace zarn {

struct DeviceEntry {
    std::string Path;      // the interface path as the platform names it
    std::string Identity;  // "vid_31d4&pid_0054"
    std::string Name;      // the product's name, or "ISP, waiting for firmware"
    bool Isp = false;
    std::optional<std::uint8_t> ProductRow;
};

inline constexpr const char* IspDeviceName = "ISP, waiting for firmware";

// The products of the device table and the chips in an ISP identity among a layer's interfaces.
std::vector<DeviceEntry> FindDevices(DeviceLayer& layer);
// The device's name with where it sits: "Zarn Brax at 3-1.2".
std::string DeviceLabel(const DeviceEntry& entry);
// What a transport matches to reach exactly this device: its identity and bus location as they
// stand in the path ("vid_31d4&pid_0054#3-1.2#"); empty when the path carries none that fits.
std::string DeviceMatchText(const std::string& path);

class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    virtual std::vector<DeviceEntry> Devices() = 0;
    // The layer for driving this device; each device has its own.
    virtual DeviceLayer& LayerFor(const DeviceEntry& entry) = 0;
    // Where a product's firmware file is looked for when no file is named.
    virtual std::filesystem::path FirmwareFolder() const;
};

// The machine's USB devices; nullptr (after saying why) when libusb cannot be set up.
std::unique_ptr<DeviceSource> MakeUsbSource();

struct VirtualSetup {
    int Products = 0;     // products with old firmware, the device table's first four in turn
    int IspDevices = 0;   // chips with a blank flash, in their ISP identity
    int WornDevice = -1;  // this device (in order) has a flash cell that will not program
    bool Paced = false;   // device time passes in real time, as on real hardware
};
// Virtual devices and, for the products, their new firmware files in a temporary folder.
std::unique_ptr<DeviceSource> MakeVirtualSource(const VirtualSetup& setup);

}  // namespace zarn
