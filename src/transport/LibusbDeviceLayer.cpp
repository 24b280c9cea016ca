#include "transport/LibusbDeviceLayer.h"

#include <array>
#include <cstdio>
#include <vector>

namespace zarn {
namespace {

// A device list that frees itself.
class DeviceList {
public:
    explicit DeviceList(libusb_context* context)
        : Count(libusb_get_device_list(context, &Devices)) {}
    ~DeviceList() {
        if (Count >= 0) {
            libusb_free_device_list(Devices, 1);
        }
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    bool Available() const { return Count >= 0; }
    std::span<libusb_device*> Entries() const {
        return Count > 0 ? std::span<libusb_device*>(Devices, static_cast<std::size_t>(Count))
                         : std::span<libusb_device*>();
    }

private:
    libusb_device** Devices = nullptr;
    ssize_t Count;
};

bool HasAudioInterface(libusb_device* device) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0) {
        return false;
    }
    bool audio = false;
    for (int i = 0; i < config->bNumInterfaces && !audio; ++i) {
        const libusb_interface& interface = config->interface[i];
        for (int alternate = 0; alternate < interface.num_altsetting; ++alternate) {
            audio = audio || interface.altsetting[alternate].bInterfaceClass == LIBUSB_CLASS_AUDIO;
        }
    }
    libusb_free_config_descriptor(config);
    return audio;
}

// "<bus>-<port>.<port>..." where the ports are known, else "<bus>-d<address>".
std::string Location(libusb_device* device) {
    std::array<std::uint8_t, 8> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
    std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
    if (depth <= 0) {
        return location + "d" + std::to_string(libusb_get_device_address(device));
    }
    for (int i = 0; i < depth; ++i) {
        location += (i > 0 ? "." : "") + std::to_string(ports[static_cast<std::size_t>(i)]);
    }
    return location;
}

}  // namespace

std::unique_ptr<LibusbDeviceLayer> LibusbDeviceLayer::Create(Clock& clock, unsigned timeoutMs) {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) {
        return nullptr;
    }
    return std::unique_ptr<LibusbDeviceLayer>(new LibusbDeviceLayer(context, clock, timeoutMs));
}

LibusbDeviceLayer::~LibusbDeviceLayer() {
    for (auto& [handle, opened] : Handles) {
        libusb_close(opened.Handle);
    }
    libusb_exit(Context);
}

std::string LibusbDeviceLayer::InterfacePath(libusb_device* device, const Guid& interfaceClass) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0 ||
        (interfaceClass == AudioPathInterfaceClass && !HasAudioInterface(device))) {
        return {};
    }
    char identity[32];
    std::snprintf(identity, sizeof identity, "vid_%04x&pid_%04x", descriptor.idVendor,
                  descriptor.idProduct);
    return std::string("\\\\?\\usb#") + identity + "#" + Location(device) + "#" +
           interfaceClass.ToString();
}

std::optional<std::vector<std::string>> LibusbDeviceLayer::ListInterfaces(
    const Guid& interfaceClass) {
    if (interfaceClass != AudioPathInterfaceClass &&
        interfaceClass != GUID_DEVINTERFACE_USB_DEVICE) {
        return std::vector<std::string>();
    }
    const DeviceList devices(Context);
    if (!devices.Available()) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    for (libusb_device* device : devices.Entries()) {
        if (auto path = InterfacePath(device, interfaceClass); !path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

DeviceHandle LibusbDeviceLayer::Open(const std::string& path) {
    const DeviceList devices(Context);
    for (libusb_device* device : devices.Entries()) {
        for (const Guid* interfaceClass :
             {&AudioPathInterfaceClass, &GUID_DEVINTERFACE_USB_DEVICE}) {
            if (InterfacePath(device, *interfaceClass) != path) {
                continue;
            }
            libusb_device_handle* handle = nullptr;
            if (libusb_open(device, &handle) != 0) {
                return NoHandle;
            }
            const DriverPath driver =
                interfaceClass == &AudioPathInterfaceClass ? DriverPath::Audio : DriverPath::Isp;
            Handles.emplace(NextHandle, OpenDevice{handle, driver});
            return NextHandle++;
        }
    }
    return NoHandle;
}

bool LibusbDeviceLayer::IoControl(DeviceHandle handle, std::uint32_t code,
                                  std::span<const std::uint8_t> input,
                                  std::span<std::uint8_t> output) {
    const auto found = Handles.find(handle);
    if (found == Handles.end()) {
        return false;
    }
    const auto call = DecodeDriverCall(found->second.Driver, code, input, output);
    if (!call) {
        return false;
    }
    if (call->SupportQuery) {
        // The audio driver serves the property only for a device that answers; here that is
        // asked of the device itself, with its device descriptor.
        std::array<std::uint8_t, 18> descriptor{};
        return libusb_control_transfer(found->second.Handle, 0x80, 6, 0x0100, 0, descriptor.data(),
                                       descriptor.size(),
                                       TimeoutMs) == static_cast<int>(descriptor.size());
    }
    std::vector<std::uint8_t> sent(call->SentData.begin(), call->SentData.end());
    std::uint8_t* data = call->Setup.IsDeviceToHost() ? call->ReceiveBuffer.data() : sent.data();
    const int transferred = libusb_control_transfer(
        found->second.Handle, call->Setup.bmRequestType, call->Setup.bRequest, call->Setup.wValue,
        call->Setup.wIndex, data, call->Setup.wLength, TimeoutMs);
    // A short answer would leave stale bytes in the caller's buffer.
    return transferred == call->Setup.wLength;
}

void LibusbDeviceLayer::Close(DeviceHandle handle) {
    const auto found = Handles.find(handle);
    if (found != Handles.end()) {
        libusb_close(found->second.Handle);
        Handles.erase(found);
    }
}

}  // namespace zarn
