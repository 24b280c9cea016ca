#pragma once
// Virtual devices presented to real libusb through emulated sysfs and usbfs: umockdev adds the
// device nodes, and its ioctl handler answers the usbfs requests (control URBs on endpoint 0)
// with the same virtual devices the in-process tests use. The handler runs on umockdev's own
// thread, so every touch of a device goes through Lock().

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/VirtualUsbDevice.h"

namespace zarn::fakes {

class UsbfsTestbed {
public:
    UsbfsTestbed();
    ~UsbfsTestbed();
    UsbfsTestbed(const UsbfsTestbed&) = delete;
    UsbfsTestbed& operator=(const UsbfsTestbed&) = delete;

    // Presents the device at bus 1 with the given device number; gives its sysfs path.
    std::string Plug(std::shared_ptr<VirtualUsbDevice> device, int deviceNumber);
    // Removes the device and announces it, as the kernel does on unplug; requests still sent to
    // its node fail as with no device.
    void Unplug(const std::string& sysfsPath);
    // While set, control URBs are taken but never completed.
    void SetNeverAnswer(bool neverAnswer);

    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(Mutex); }

private:
    struct Urb {
        UMockdevIoctlData* Data;  // the client's URB, kept until it is reaped
        std::vector<std::uint8_t> Received;
        int Status;
    };

    static gboolean HandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client,
                                gpointer self);
    void SubmitUrb(UMockdevIoctlClient* client);
    void ReapUrb(UMockdevIoctlClient* client);
    void DiscardUrb(UMockdevIoctlClient* client);
    VirtualUsbDevice* DeviceOf(UMockdevIoctlClient* client);

    UMockdevTestbed* Testbed;
    UMockdevIoctlBase* Handler;
    std::mutex Mutex;
    struct Plugged {
        std::string Node;
        std::string SysfsPath;
        std::shared_ptr<VirtualUsbDevice> Device;
    };
    std::vector<Plugged> Devices;
    std::list<Urb> Completed;
    std::list<UMockdevIoctlData*> Flying;
    bool NeverAnswer = false;
};

// The sysfs "descriptors" file of a device: device descriptor, one configuration with one
// interface, audio class for a product, vendor class otherwise.
std::vector<std::uint8_t> DescriptorsOf(std::uint16_t vid, std::uint16_t pid, bool audioClass);

}  // namespace zarn::fakes
