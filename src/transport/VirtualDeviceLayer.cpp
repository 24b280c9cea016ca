#include "transport/VirtualDeviceLayer.h"

#include <cstdio>

namespace zarn {
namespace {

// The audio driver sends vendor requests to the "other" recipient.
constexpr std::uint8_t AudioVendorOut = 0x43;
constexpr std::uint8_t AudioVendorIn = 0xC3;

}  // namespace

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
    if (!opened.Device->IsPlugged() || opened.Device->Attachment() != opened.Attachment ||
        InterfacePath(*opened.Device, opened.Driver == DriverPath::Audio
                                          ? AudioPathInterfaceClass
                                          : GUID_DEVINTERFACE_USB_DEVICE) != opened.Path) {
        return false;
    }
    // Each driver knows only its own codes.
    if (opened.Driver == DriverPath::Audio) {
        return code == IOCTL_KS_PROPERTY && AudioPropertyCall(opened, input, output);
    }
    if (code == IOCTL_ISP_VENDOR_IN || code == IOCTL_ISP_VENDOR_OUT) {
        return IspVendorCall(opened, code == IOCTL_ISP_VENDOR_IN, input, output);
    }
    return false;
}

bool VirtualDeviceLayer::AudioPropertyCall(OpenInterface& opened,
                                           std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> output) {
    const auto header = DecodeKsProperty(input);
    if (!header || header->Set != VendorRequestPropertySet) {
        return false;
    }
    // The support query is answered by the driver; it sends nothing to the device.
    if (header->Flags == KSPROPERTY_TYPE_SETSUPPORT) {
        return header->Id == 0;
    }
    const bool get = header->Flags == KSPROPERTY_TYPE_GET;
    if (header->Id != VendorRequestPropertyId || (!get && header->Flags != KSPROPERTY_TYPE_SET)) {
        return false;
    }
    const auto fields = DecodeAudioPropertyRequest(input);
    if (!fields || fields->RequestType != AudioRequestTypeByte || fields->DataLength > 0xFFFF ||
        (get && output.size() < fields->DataLength)) {
        return false;
    }
    const SetupPacket setup{get ? AudioVendorIn : AudioVendorOut, fields->bRequest, fields->wValue,
                            fields->wIndex, static_cast<std::uint16_t>(fields->DataLength)};
    if (get) {
        return opened.Device->ControlTransfer(DriverPath::Audio, setup,
                                              output.first(fields->DataLength));
    }
    std::vector<std::uint8_t> sent(fields->Data.begin(), fields->Data.end());
    return opened.Device->ControlTransfer(DriverPath::Audio, setup, sent);
}

bool VirtualDeviceLayer::IspVendorCall(OpenInterface& opened, bool deviceToHost,
                                       std::span<const std::uint8_t> input,
                                       std::span<std::uint8_t> output) {
    auto setup = DecodeIspRequestRecord(input);
    // The record's direction bit must agree with the code, and the buffer must fit wLength.
    if (!setup || setup->IsDeviceToHost() != deviceToHost || output.size() > 0xFFFF) {
        return false;
    }
    // The transfer length is the length of the buffer passed with the call.
    setup->wLength = static_cast<std::uint16_t>(output.size());
    if (deviceToHost) {
        return opened.Device->ControlTransfer(DriverPath::Isp, *setup, output);
    }
    std::vector<std::uint8_t> sent(output.begin(), output.end());
    return opened.Device->ControlTransfer(DriverPath::Isp, *setup, sent);
}

}  // namespace zarn
