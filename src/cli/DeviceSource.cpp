#include "cli/DeviceSource.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "app/DeviceTable.h"
#include "image/HexText.h"
#include "sim/VirtualChipDevice.h"
#include "sim/VirtualDeviceLayer.h"
#include "transport/LibusbDeviceLayer.h"
#include "transport/WireFormat.h"

namespace zarn {
namespace {

constexpr std::size_t MatchTextLimit = 49;

class UsbSource final : public DeviceSource {
public:
    explicit UsbSource(std::unique_ptr<LibusbDeviceLayer> lister) : Lister(std::move(lister)) {}

    std::vector<DeviceEntry> Devices() override { return FindDevices(*Lister); }

    DeviceLayer& LayerFor(const DeviceEntry& entry) override {
        auto& layer = Layers[entry.Path];
        if (!layer) {
            layer = LibusbDeviceLayer::Create(Time);
        }
        return layer ? static_cast<DeviceLayer&>(*layer) : *Lister;
    }

private:
    RealClock Time;
    std::unique_ptr<LibusbDeviceLayer> Lister;
    std::map<std::string, std::unique_ptr<LibusbDeviceLayer>> Layers;
};

// One virtual device with a clock and a layer of its own.
struct VirtualUnit {
    explicit VirtualUnit(bool paced, UsbIdentity product)
        : Time(paced), Layer(Time), Device(Time, FlashModels::W25X40, product) {
        Layer.Attach(Device.Usb());
    }
    VirtualClock Time;
    VirtualDeviceLayer Layer;
    VirtualChipDevice Device;
};

// The firmware a virtual product ships with (old) and the file it is updated from (new).
std::vector<std::uint8_t> Firmware(std::uint32_t length, unsigned seed) {
    std::vector<std::uint8_t> bytes(length);
    for (std::uint32_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * (29 + 2 * seed) + (i >> 8) + seed);
    }
    return bytes;
}

void WriteHex(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(path);
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        file << HexRecord(0x00, static_cast<std::uint16_t>(at),
                          std::span<const std::uint8_t>(bytes.data() + at, 16));
    }
    file << HexEndOfFile;
}

class VirtualSource final : public DeviceSource {
public:
    explicit VirtualSource(const VirtualSetup& setup) {
        Folder =
            std::filesystem::temp_directory_path() / ("zarn-flash-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Folder);
        for (int i = 0; i < setup.Products + setup.IspDevices; ++i) {
            const bool product = i < setup.Products;
            const std::size_t row = static_cast<std::size_t>(i % 4);
            const unsigned vendor = 0x31D4;
            const unsigned productId = 0x0053 + static_cast<unsigned>(row);
            auto unit = std::make_unique<VirtualUnit>(
                setup.Paced, UsbIdentity{static_cast<std::uint16_t>(vendor),
                                         static_cast<std::uint16_t>(productId)});
            if (product) {
                unit->Device.LoadFirmware(Firmware(0x1000, 1));
                WriteHex(Folder / (std::string(DeviceTable[row].FileStem) + ".hex"),
                         Firmware(0x8000, static_cast<unsigned>(row) + 2));
            }
            if (i == setup.WornDevice) {
                unit->Device.Chip().Flash().SetWornByte(0x100, 0x01);
            }
            Units.push_back(std::move(unit));
        }
    }
    ~VirtualSource() override {
        std::error_code error;
        std::filesystem::remove_all(Folder, error);
    }

    std::vector<DeviceEntry> Devices() override {
        std::vector<DeviceEntry> all;
        for (auto& unit : Units) {
            for (auto& entry : FindDevices(unit->Layer)) {
                all.push_back(std::move(entry));
            }
        }
        return all;
    }

    DeviceLayer& LayerFor(const DeviceEntry& entry) override {
        for (auto& unit : Units) {
            for (const auto& found : FindDevices(unit->Layer)) {
                if (found.Path == entry.Path) {
                    return unit->Layer;
                }
            }
        }
        return Units.front()->Layer;
    }

    std::filesystem::path FirmwareFolder() const override { return Folder; }

private:
    std::filesystem::path Folder;
    std::vector<std::unique_ptr<VirtualUnit>> Units;
};

}  // namespace

std::vector<DeviceEntry> FindDevices(DeviceLayer& layer) {
    std::vector<DeviceEntry> found;
    if (const auto paths = layer.ListInterfaces(AudioPathInterfaceClass)) {
        for (const auto& path : *paths) {
            for (std::size_t row = 0; row < DeviceTable.size(); ++row) {
                if (path.find(DeviceTable[row].Identity) != std::string::npos) {
                    found.push_back({path, DeviceTable[row].Identity, DeviceTable[row].DisplayName,
                                     false, static_cast<std::uint8_t>(row)});
                    break;
                }
            }
        }
    }
    if (const auto paths = layer.ListInterfaces(GUID_DEVINTERFACE_USB_DEVICE)) {
        for (const auto& path : *paths) {
            for (const char* identity : {IspMatch3E52, IspMatch1C7A}) {
                if (path.find(identity) != std::string::npos) {
                    found.push_back({path, identity, IspDeviceName, true, std::nullopt});
                }
            }
        }
    }
    return found;
}

std::string DeviceMatchText(const std::string& path) {
    const auto start = path.find("vid_");
    if (start == std::string::npos) {
        return {};
    }
    const auto first = path.find('#', start);
    const auto second = first == std::string::npos ? first : path.find('#', first + 1);
    if (second == std::string::npos || second + 1 - start > MatchTextLimit) {
        return {};
    }
    return path.substr(start, second + 1 - start);
}

std::string DeviceLabel(const DeviceEntry& entry) {
    const std::string match = DeviceMatchText(entry.Path);
    const auto first = match.find('#');
    if (first == std::string::npos) {
        return entry.Name;
    }
    return entry.Name + " at " + match.substr(first + 1, match.size() - first - 2);
}

std::filesystem::path DeviceSource::FirmwareFolder() const {
    std::error_code error;
    return std::filesystem::current_path(error);
}

std::unique_ptr<DeviceSource> MakeUsbSource() {
    static RealClock listingClock;
    auto lister = LibusbDeviceLayer::Create(listingClock);
    if (!lister) {
        return nullptr;
    }
    return std::make_unique<UsbSource>(std::move(lister));
}

std::unique_ptr<DeviceSource> MakeVirtualSource(const VirtualSetup& setup) {
    return std::make_unique<VirtualSource>(setup);
}

}  // namespace zarn
