#include "usb/UsbfsTestbed.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace zarn::fakes {
namespace {

constexpr std::size_t SetupSize = 8;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (const auto byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}

std::string NodeOf(int deviceNumber) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", deviceNumber);
    return node;
}

}  // namespace

std::vector<std::uint8_t> DescriptorsOf(std::uint16_t vid, std::uint16_t pid, bool audioClass) {
    return {// device: USB 2.0, class per interface, 64-byte endpoint 0, one configuration
            18, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 64, static_cast<std::uint8_t>(vid),
            static_cast<std::uint8_t>(vid >> 8), static_cast<std::uint8_t>(pid),
            static_cast<std::uint8_t>(pid >> 8), 0x00, 0x01, 0, 0, 0, 1,
            // configuration 1: one interface, total 18 bytes
            9, 0x02, 18, 0, 1, 1, 0, 0x80, 50,
            // interface 0: audio control, or vendor specific
            9, 0x04, 0, 0, 0, static_cast<std::uint8_t>(audioClass ? 0x01 : 0xFF),
            static_cast<std::uint8_t>(audioClass ? 0x01 : 0x00), 0, 0};
}

UsbfsTestbed::UsbfsTestbed() : Testbed(umockdev_testbed_new()), Handler(umockdev_ioctl_base_new()) {
    g_signal_connect(Handler, "handle-ioctl", G_CALLBACK(&UsbfsTestbed::HandleIoctl), this);
}

UsbfsTestbed::~UsbfsTestbed() {
    for (auto& urb : Completed) {
        umockdev_ioctl_data_unref(urb.Data);
    }
    for (auto* urb : Flying) {
        umockdev_ioctl_data_unref(urb);
    }
    g_object_unref(Handler);
    g_object_unref(Testbed);
}

std::string UsbfsTestbed::Plug(std::shared_ptr<VirtualUsbDevice> device, int deviceNumber) {
    const std::string node = NodeOf(deviceNumber);
    const std::string sysfsPath = "/devices/usb1/1-" + std::to_string(deviceNumber);
    const auto descriptors =
        DescriptorsOf(device->VendorId(), device->ProductId(), device->IsAudioClass());
    {
        auto lock = Lock();
        Devices.push_back({node, "/sys" + sysfsPath, std::move(device)});
    }
    // The handler is attached before the device appears, so that opening it always works.
    umockdev_testbed_attach_ioctl(Testbed, node.c_str(), Handler, nullptr);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", deviceNumber);
    const std::string description =
        "P: " + sysfsPath + "\nN: " + node.substr(5) + "\nE: SUBSYSTEM=usb\nE: DRIVER=usb\n" +
        "E: BUSNUM=001\nE: DEVNUM=" + number + "\nE: DEVNAME=" + node +
        "\nE: DEVTYPE=usb_device\nA: bConfigurationValue=1\\n\nA: busnum=1\\n\nA: devnum=" +
        std::to_string(deviceNumber) + "\\n\nA: speed=480\\n\nH: descriptors=" + Hex(descriptors) +
        "\n";
    umockdev_testbed_add_from_string(Testbed, description.c_str(), nullptr);
    return "/sys" + sysfsPath;
}

void UsbfsTestbed::Unplug(const std::string& sysfsPath) {
    {
        auto lock = Lock();
        std::erase_if(Devices,
                      [&](const Plugged& plugged) { return plugged.SysfsPath == sysfsPath; });
    }
    umockdev_testbed_uevent(Testbed, sysfsPath.c_str(), "remove");
    umockdev_testbed_remove_device(Testbed, sysfsPath.c_str());
}

void UsbfsTestbed::SetNeverAnswer(bool neverAnswer) {
    auto lock = Lock();
    NeverAnswer = neverAnswer;
}

gboolean UsbfsTestbed::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto& testbed = *static_cast<UsbfsTestbed*>(self);
    switch (umockdev_ioctl_client_get_request(client)) {
        case USBDEVFS_SUBMITURB:
            testbed.SubmitUrb(client);
            return TRUE;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            testbed.ReapUrb(client);
            return TRUE;
        case USBDEVFS_DISCARDURB:
            testbed.DiscardUrb(client);
            return TRUE;
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* capabilities = umockdev_ioctl_data_resolve(
                umockdev_ioctl_client_get_arg(client), 0, sizeof(guint32), nullptr);
            *reinterpret_cast<guint32*>(capabilities->data) = USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
            umockdev_ioctl_data_unref(capabilities);
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_RESET:
            umockdev_ioctl_client_complete(client, 0, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

VirtualUsbDevice* UsbfsTestbed::DeviceOf(UMockdevIoctlClient* client) {
    const std::string node = umockdev_ioctl_client_get_devnode(client);
    for (const Plugged& plugged : Devices) {
        if (plugged.Node == node) {
            return plugged.Device.get();
        }
    }
    return nullptr;
}

void UsbfsTestbed::SubmitUrb(UMockdevIoctlClient* client) {
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client),
                                                             0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->endpoint != 0 ||
        urb->buffer_length < static_cast<int>(SetupSize)) {
        umockdev_ioctl_data_unref(urbData);
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
    const std::uint8_t* bytes = buffer->data;
    const SetupPacket setup{bytes[0], bytes[1],
                            static_cast<std::uint16_t>(bytes[2] | bytes[3] << 8),
                            static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8),
                            static_cast<std::uint16_t>(bytes[6] | bytes[7] << 8)};
    std::vector<std::uint8_t> data(
        bytes + SetupSize,
        bytes + SetupSize + std::min<std::size_t>(setup.wLength, urb->buffer_length - SetupSize));
    umockdev_ioctl_data_unref(buffer);

    auto lock = Lock();
    if (NeverAnswer) {
        Flying.push_back(urbData);
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    VirtualUsbDevice* device = DeviceOf(client);
    // On usbfs both drivers' requests arrive alike.
    const bool done = device != nullptr && data.size() == setup.wLength &&
                      device->ControlTransfer(DriverPath::Isp, setup, data);
    Completed.push_back(
        {urbData, setup.IsDeviceToHost() ? data : std::vector<std::uint8_t>(), done ? 0 : -EPIPE});
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsTestbed::ReapUrb(UMockdevIoctlClient* client) {
    auto lock = Lock();
    if (Completed.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return;
    }
    Urb urb = Completed.front();
    Completed.pop_front();
    auto* fields = reinterpret_cast<usbdevfs_urb*>(urb.Data->data);
    fields->status = urb.Status;
    // The data stage lands after the setup packet; the length counts only the data stage.
    if (urb.Status == 0) {
        if (!urb.Received.empty()) {
            std::memcpy(static_cast<std::uint8_t*>(fields->buffer) + SetupSize, urb.Received.data(),
                        urb.Received.size());
        }
        fields->actual_length = static_cast<int>(fields->buffer_length - SetupSize);
    } else {
        fields->actual_length = 0;
    }
    UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client),
                                                             0, sizeof(gpointer), nullptr);
    umockdev_ioctl_data_set_ptr(pointer, 0, urb.Data);
    umockdev_ioctl_data_unref(pointer);
    umockdev_ioctl_client_complete(client, 0, 0);
    umockdev_ioctl_data_unref(urb.Data);
}

void UsbfsTestbed::DiscardUrb(UMockdevIoctlClient* client) {
    auto lock = Lock();
    const auto address = reinterpret_cast<gulong>(
        *reinterpret_cast<void**>(umockdev_ioctl_client_get_arg(client)->data));
    for (auto it = Flying.begin(); it != Flying.end(); ++it) {
        if ((*it)->client_addr == address) {
            // A discarded URB is reaped with -ENOENT.
            Completed.push_back({*it, {}, -ENOENT});
            Flying.erase(it);
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

}  // namespace zarn::fakes
