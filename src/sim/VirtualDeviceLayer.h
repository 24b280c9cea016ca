#pragma once
// The device layer of the virtual bus: lists the attached virtual devices as interfaces of the
// two classes, opens them by path and turns each I/O control call back into the control
// transfer a driver would send, handing it to the device.

#include <map>
#include <memory>
#include <vector>

#include "sim/VirtualUsbDevice.h"
#include "transport/DeviceLayer.h"

namespace zarn {

class VirtualDeviceLayer final : public DeviceLayer {
public:
    explicit VirtualDeviceLayer(VirtualClock& clock) : Time(clock) {}

    void Attach(std::shared_ptr<VirtualUsbDevice> device);

    // The path text of a device's interface of a class, as ListInterfaces gives it.
    static std::string InterfacePath(const VirtualUsbDevice& device, const Guid& interfaceClass);

    // While false, the platform gives no interface list at all.
    void SetListAvailable(bool available) { ListAvailable = available; }
    std::size_t OpenHandleCount() const { return Handles.size(); }

    std::optional<std::vector<std::string>> ListInterfaces(const Guid& interfaceClass) override;
    DeviceHandle Open(const std::string& path) override;
    bool IoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                   std::span<std::uint8_t> output) override;
    void Close(DeviceHandle handle) override;
    Clock& DeviceClock() override { return Time; }

private:
    struct OpenInterface {
        std::shared_ptr<VirtualUsbDevice> Device;
        std::string Path;
        DriverPath Driver;
        std::size_t Attachment;
    };

    static bool HasInterface(const VirtualUsbDevice& device, const Guid& interfaceClass);

    VirtualClock& Time;
    std::vector<std::shared_ptr<VirtualUsbDevice>> Devices;
    std::map<DeviceHandle, OpenInterface> Handles;
    DeviceHandle NextHandle = 1;
    bool ListAvailable = true;
};

}  // namespace zarn
