#include "sim/VirtualDeviceLayer.h"

#include <cstdio>

namespace zarn {
void VirtualDeviceLayer::Attach(std::shared_ptr<VirtualUsbDevice> device) {
    Devices.push_back(std::move(device));
}

bool VirtualDeviceLayer::HasInterface(const VirtualUsbDevice& device, const Guid& interfaceClass) {
    if (interfaceClass == AudioPathInterfaceClass) {
        return device.IsAudioClass();
    }
    return interfaceClass == GUID_DEVINTERFACE_USB_DEVICE;
}

std::string VirtualDeviceLayer::InterfacePath(const VirtualUsbDevice& device,
                                              const Guid& interfaceClass) {
    char identity[32];
    std::snprintf(identity, sizeof identity, "vid_%04x&pid_%04x", device.VendorId(),
                  device.ProductId());
    return std::string("\\\\?\\usb#") + identity + "#" + device.Location() + "#" +
           interfaceClass.ToString();
}

std::optional<std::vector<std::string>> VirtualDeviceLayer::ListInterfaces(
    const Guid& interfaceClass) {
    if (!ListAvailable) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    for (const auto& device : Devices) {
        if (device->IsPlugged() && HasInterface(*device, interfaceClass)) {
            paths.push_back(InterfacePath(*device, interfaceClass));
        }
    }
    return paths;
}

DeviceHandle VirtualDeviceLayer::Open(const std::string& path) {
    for (const Guid* interfaceClass : {&AudioPathInterfaceClass, &GUID_DEVINTERFACE_USB_DEVICE}) {
        for (const auto& device : Devices) {
            if (device->IsPlugged() && HasInterface(*device, *interfaceClass) &&
                InterfacePath(*device, *interfaceClass) == path) {
                const DriverPath driver = interfaceClass == &AudioPathInterfaceClass
                                              ? DriverPath::Audio
                                              : DriverPath::Isp;
                Handles.emplace(NextHandle,
                                OpenInterface{device, path, driver, device->Attachment()});
                return NextHandle++;
            }
        }
    }
    return NoHandle;
}

void VirtualDeviceLayer::Close(DeviceHandle handle) {
    Handles.erase(handle);
}

bool VirtualDeviceLayer::IoControl(DeviceHandle handle, std::uint32_t code,
                                   std::span<const std::uint8_t> input,
                                   std::span<std::uint8_t> output) {
    const auto found = Handles.find(handle);
    if (found == Handles.end()) {
        return false;
    }
    OpenInterface& opened = found->second;
    // A device that left the bus, even if it came back since, or that took another identity,
    // no longer answers the handle opened before.
    const Guid& interfaceClass =
        opened.Driver == DriverPath::Audio ? AudioPathInterfaceClass : GUID_DEVINTERFACE_USB_DEVICE;
    if (!opened.Device->IsPlugged() || opened.Device->Attachment() != opened.Attachment ||
        InterfacePath(*opened.Device, interfaceClass) != opened.Path) {
        return false;
    }
    const auto call = DecodeDriverCall(opened.Driver, code, input, output);
    if (!call) {
        return false;
    }
    if (call->SupportQuery) {
        return true;
    }
    if (call->Setup.IsDeviceToHost()) {
        return opened.Device->ControlTransfer(opened.Driver, call->Setup, call->ReceiveBuffer);
    }
    // The device gets its own copy, as a driver would hand over a transfer buffer.
    std::vector<std::uint8_t> sent(call->SentData.begin(), call->SentData.end());
    return opened.Device->ControlTransfer(opened.Driver, call->Setup, sent);
}

}  // namespace zarn
