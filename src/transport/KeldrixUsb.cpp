#include "transport/KeldrixUsb.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <string>

namespace zarn {
namespace {

// The most a USB control transfer can carry in its data stage.
constexpr std::uint32_t MaxControlDataLength = 0xFFFF;

// The standard GET_DESCRIPTOR request for the device descriptor, sent by the ISP-path probe.
constexpr SetupPacket DeviceDescriptorRequest{0x80, 6, 0x0100, 0x0001, 18};

void CopyBounded(char* destination, std::size_t size, std::string_view text) {
    const std::size_t count = std::min(text.size(), size - 1);
    std::memcpy(destination, text.data(), count);
    destination[count] = '\0';
}

}  // namespace

KeldrixUsb::KeldrixUsb(DeviceLayer& layer) : Layer(layer) {
    SetMatch(InitialMatch);
}

KeldrixUsb::~KeldrixUsb() {
    Close();
}

void KeldrixUsb::SetMatch(const char* text) {
    CopyBounded(MatchText, MatchTextSize, text != nullptr ? std::string_view(text) : "");
}

bool KeldrixUsb::WalkMatchingInterfaces(const std::function<void(std::string_view path)>& visit) {
    const auto paths =
        Layer.ListInterfaces(AudioMode ? AudioPathInterfaceClass : GUID_DEVINTERFACE_USB_DEVICE);
    if (!paths) {
        return false;
    }
    const std::string_view match(MatchText);
    for (const std::string& path : *paths) {
        // A path that would not fit DevicePath could only be remembered cut short, and a cut
        // path may name another interface; such an interface is passed over like one whose
        // path cannot be read.
        if (match.empty() || path.size() >= DevicePathSize ||
            path.find(match) == std::string::npos) {
            continue;
        }
        visit(path);
    }
    return true;
}

bool KeldrixUsb::Connect() {
    bool result = false;
    WalkMatchingInterfaces([&](std::string_view path) {
        CopyBounded(DevicePath, DevicePathSize, path);
        Found = true;
        result = Probe();
    });
    return result;
}

bool KeldrixUsb::Scan() {
    bool present = false;
    WalkMatchingInterfaces([&](std::string_view) { present = true; });
    Found = present;
    return present;
}

bool KeldrixUsb::Probe() {
    const DeviceHandle handle = Layer.Open(DevicePath);
    if (handle == NoHandle) {
        return false;
    }
    bool answered = false;
    if (AudioMode) {
        const auto header =
            EncodeKsProperty(VendorRequestPropertySet, 0, KSPROPERTY_TYPE_SETSUPPORT);
        answered = Layer.IoControl(handle, IOCTL_KS_PROPERTY, header, {});
    } else {
        const auto record = EncodeIspRequestRecord(DeviceDescriptorRequest);
        std::array<std::uint8_t, 18> descriptor{};
        answered = Layer.IoControl(handle, IOCTL_ISP_VENDOR_IN, record, descriptor);
    }
    Layer.Close(handle);
    return answered;
}

bool KeldrixUsb::Open() {
    Close();
    RequestHandle = Layer.Open(DevicePath);
    return RequestHandle != NoHandle;
}

void KeldrixUsb::Close() {
    if (RequestHandle != NoHandle) {
        Layer.Close(RequestHandle);
        RequestHandle = NoHandle;
    }
}

bool KeldrixUsb::VendorRequest(std::uint8_t bmRequestType, std::uint8_t bRequest,
                               std::uint16_t wValue, std::uint16_t wIndex, std::uint8_t* data,
                               std::uint32_t length) {
    if (RequestHandle == NoHandle || length > MaxControlDataLength ||
        (data == nullptr && length != 0)) {
        return false;
    }
    ++Sent;
    return AudioMode ? AudioRequest(bmRequestType, bRequest, wValue, wIndex, data, length)
                     : IspRequest(bmRequestType, bRequest, wValue, wIndex, data, length);
}

bool KeldrixUsb::AudioRequest(std::uint8_t bmRequestType, std::uint8_t bRequest,
                              std::uint16_t wValue, std::uint16_t wIndex, std::uint8_t* data,
                              std::uint32_t length) {
    const std::span<std::uint8_t> buffer(data, length);
    const bool deviceToHost = (bmRequestType & 0x80) != 0;
    // The caller's bytes travel inside the request in both directions.
    const auto request = EncodeAudioPropertyRequest(deviceToHost, bRequest, wValue, wIndex, buffer);
    return Layer.IoControl(RequestHandle, IOCTL_KS_PROPERTY, request, buffer);
}

bool KeldrixUsb::IspRequest(std::uint8_t bmRequestType, std::uint8_t bRequest, std::uint16_t wValue,
                            std::uint16_t wIndex, std::uint8_t* data, std::uint32_t length) {
    // wLength stays 0: the driver takes the transfer length from the buffer passed with the call.
    const auto record = EncodeIspRequestRecord({bmRequestType, bRequest, wValue, wIndex, 0});
    const std::uint32_t code =
        (bmRequestType & 0x80) != 0 ? IOCTL_ISP_VENDOR_IN : IOCTL_ISP_VENDOR_OUT;
    return Layer.IoControl(RequestHandle, code, record, std::span<std::uint8_t>(data, length));
}

}  // namespace zarn
