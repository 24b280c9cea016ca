#include "sim/VirtualDeviceLayer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/RecordingModel.h"
#include "transport/KeldrixUsb.h"

namespace zarn {
namespace {

using fakes::RecordingModel;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class VirtualDeviceLayerTest : public ::testing::Test {
protected:
    std::shared_ptr<VirtualUsbDevice> AttachDevice(std::uint16_t vid, std::uint16_t pid,
                                                   bool audioClass) {
        auto device = std::make_shared<VirtualUsbDevice>(Time, vid, pid, audioClass, Model);
        Layer.Attach(device);
        return device;
    }

    // Finds and opens a product on the audio path or an ISP identity on the ISP path.
    std::shared_ptr<VirtualUsbDevice> OpenDevice(bool audioPath) {
        auto device =
            audioPath ? AttachDevice(0x31D4, 0x0053, true) : AttachDevice(0x1C7A, 0x6000, false);
        Usb.SetAudioMode(audioPath);
        Usb.SetMatch(audioPath ? "vid_31d4&pid_0053" : "vid_1c7a&pid_6000");
        EXPECT_TRUE(Usb.Connect());
        EXPECT_TRUE(Usb.Open());
        device->ClearRequestLog();
        return device;
    }

    std::shared_ptr<RecordingModel> Model = std::make_shared<RecordingModel>();
    VirtualClock Time;
    VirtualDeviceLayer Layer{Time};
    KeldrixUsb Usb{Layer};
};

TEST_F(VirtualDeviceLayerTest, ListsAudioDevicesInBothClassesWithLowerCaseIdentity) {
    auto product = AttachDevice(0x31D4, 0x00AB, true);
    auto isp = AttachDevice(0x3E52, 0x6000, false);
    const auto audio = Layer.ListInterfaces(AudioPathInterfaceClass);
    const auto usb = Layer.ListInterfaces(GUID_DEVINTERFACE_USB_DEVICE);
    ASSERT_TRUE(audio && usb);
    ASSERT_THAT(*audio, SizeIs(1));
    EXPECT_THAT((*audio)[0], HasSubstr("vid_31d4&pid_00ab"));
    EXPECT_THAT(
        *usb, ElementsAre(VirtualDeviceLayer::InterfacePath(*product, GUID_DEVINTERFACE_USB_DEVICE),
                          VirtualDeviceLayer::InterfacePath(*isp, GUID_DEVINTERFACE_USB_DEVICE)));
    EXPECT_NE(VirtualDeviceLayer::InterfacePath(*product, AudioPathInterfaceClass),
              VirtualDeviceLayer::InterfacePath(*product, GUID_DEVINTERFACE_USB_DEVICE));

    Layer.SetListAvailable(false);
    EXPECT_FALSE(Layer.ListInterfaces(AudioPathInterfaceClass));
}

TEST_F(VirtualDeviceLayerTest, IspProbeIsAStandardDeviceDescriptorRequest) {
    auto device = AttachDevice(0x1C7A, 0x6000, false);
    EXPECT_TRUE(Usb.Connect());
    ASSERT_THAT(device->RequestLog(), SizeIs(1));
    const RequestLogEntry& probe = device->RequestLog()[0];
    EXPECT_EQ(probe.Path, DriverPath::Isp);
    EXPECT_EQ(probe.Setup, (SetupPacket{0x80, 6, 0x0100, 0x0001, 18}));
    ASSERT_THAT(probe.Data, SizeIs(18));
    EXPECT_THAT(std::vector<std::uint8_t>(probe.Data.begin() + 8, probe.Data.begin() + 12),
                ElementsAre(0x7A, 0x1C, 0x00, 0x60));  // idVendor, idProduct
    EXPECT_THAT(Model->Transfers, IsEmpty());
    EXPECT_EQ(Layer.OpenHandleCount(), 0u);
}

TEST_F(VirtualDeviceLayerTest, AudioProbeIsAnsweredByTheDriverAlone) {
    auto device = AttachDevice(0x31D4, 0x0053, true);
    Usb.SetAudioMode(true);
    Usb.SetMatch("vid_31d4&pid_0053");
    EXPECT_TRUE(Usb.Connect());
    EXPECT_THAT(device->RequestLog(), IsEmpty());
}

struct PathCase {
    const char* Name;
    bool AudioPath;
    std::uint8_t RequestType;
};

void PrintTo(const PathCase& c, std::ostream* out) {
    *out << c.Name;
}

class VirtualRequestTest : public VirtualDeviceLayerTest,
                           public ::testing::WithParamInterface<PathCase> {};

TEST_P(VirtualRequestTest, DeviceSeesTheSetupAndDataTheCallerMeant) {
    const PathCase& c = GetParam();
    auto device = OpenDevice(c.AudioPath);
    std::uint8_t data[5] = {9, 8, 7, 6, 5};
    ASSERT_TRUE(Usb.VendorRequest(c.RequestType, 0x82, 0x1234, 0x0001, data, 5));

    ASSERT_THAT(device->RequestLog(), SizeIs(1));
    const RequestLogEntry& entry = device->RequestLog()[0];
    EXPECT_EQ(entry.Path, c.AudioPath ? DriverPath::Audio : DriverPath::Isp);
    EXPECT_EQ(entry.Setup, (SetupPacket{c.RequestType, 0x82, 0x1234, 0x0001, 5}));
    EXPECT_TRUE(entry.Result);
    if (entry.Setup.IsDeviceToHost()) {
        EXPECT_THAT(data, ElementsAre(0x82, 0x83, 0x84, 0x85, 0x86));
    } else {
        EXPECT_THAT(data, ElementsAre(9, 8, 7, 6, 5));
    }
    EXPECT_EQ(entry.Data, std::vector<std::uint8_t>(data, data + 5));
}

INSTANTIATE_TEST_SUITE_P(Paths, VirtualRequestTest,
                         ::testing::Values(PathCase{"IspOut", false, 0x43},
                                           PathCase{"IspIn", false, 0xC3},
                                           PathCase{"AudioOut", true, 0x43},
                                           PathCase{"AudioIn", true, 0xC3}),
                         [](const auto& info) { return info.param.Name; });

TEST_F(VirtualDeviceLayerTest, ZeroLengthRequestsReachTheDevice) {
    auto device = OpenDevice(true);
    ASSERT_TRUE(Usb.VendorRequest(0x43, 0x84, 0xA5, 0x5A, nullptr, 0));
    ASSERT_THAT(Model->Transfers, SizeIs(1));
    EXPECT_EQ(Model->Transfers[0].Setup, (SetupPacket{0x43, 0x84, 0xA5, 0x5A, 0}));
}

TEST_F(VirtualDeviceLayerTest, ChosenRequestsFailWithoutReachingTheModel) {
    auto device = OpenDevice(false);
    device->FailRequestsWhere(
        [](const SetupPacket& setup, std::size_t) { return setup.bRequest == 0x82; });
    std::uint8_t value = 0;
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x82, 0, 0, &value, 1));
    EXPECT_TRUE(Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1));
    ASSERT_THAT(device->RequestLog(), SizeIs(2));
    EXPECT_FALSE(device->RequestLog()[0].Result);
    ASSERT_THAT(Model->Transfers, SizeIs(1));
    EXPECT_EQ(Model->Transfers[0].Setup.bRequest, 0x81);
}

TEST_F(VirtualDeviceLayerTest, UnplugEndsRequestsPresenceAndOpening) {
    auto device = OpenDevice(false);
    device->UnplugAfterRequests(2);
    std::uint8_t value = 0;
    EXPECT_TRUE(Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1));
    EXPECT_TRUE(Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1));
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1));
    EXPECT_THAT(device->RequestLog(), SizeIs(2));

    EXPECT_FALSE(Usb.Scan());
    EXPECT_FALSE(Usb.Open());

    device->Plug();
    EXPECT_TRUE(Usb.Scan());
    EXPECT_TRUE(Usb.Open());
    EXPECT_TRUE(Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1));
}

TEST_F(VirtualDeviceLayerTest, NewIdentityInvalidatesTheOldHandle) {
    auto device = OpenDevice(true);
    device->SetIdentity(0x1C7A, 0x6000, false);  // the chip restarted without firmware
    std::uint8_t value = 0;
    EXPECT_FALSE(Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1));
    EXPECT_FALSE(Usb.Scan());
    EXPECT_THAT(device->RequestLog(), IsEmpty());
}

TEST_F(VirtualDeviceLayerTest, DriversRefuseCallsThatAreNotTheirs) {
    auto product = AttachDevice(0x31D4, 0x0053, true);
    const DeviceHandle audio =
        Layer.Open(VirtualDeviceLayer::InterfacePath(*product, AudioPathInterfaceClass));
    const DeviceHandle isp =
        Layer.Open(VirtualDeviceLayer::InterfacePath(*product, GUID_DEVINTERFACE_USB_DEVICE));
    ASSERT_NE(audio, NoHandle);
    ASSERT_NE(isp, NoHandle);
    std::uint8_t buffer[4] = {};
    const auto record = EncodeIspRequestRecord({0xC3, 0x81, 0, 0, 0});
    const auto property = EncodeAudioPropertyRequest(true, 0x81, 0, 0, buffer);

    EXPECT_FALSE(Layer.IoControl(audio, IOCTL_ISP_VENDOR_IN, record, buffer));
    EXPECT_FALSE(Layer.IoControl(isp, IOCTL_KS_PROPERTY, property, buffer));
    // The record's direction must agree with the code.
    EXPECT_FALSE(Layer.IoControl(isp, IOCTL_ISP_VENDOR_OUT, record, buffer));
    // A property request that announces more data than it carries.
    auto overlong = property;
    overlong[36] = 64;
    EXPECT_FALSE(Layer.IoControl(audio, IOCTL_KS_PROPERTY, overlong, buffer));
    // A read whose output buffer is smaller than the data length.
    EXPECT_FALSE(
        Layer.IoControl(audio, IOCTL_KS_PROPERTY, property, std::span<std::uint8_t>(buffer, 2)));
    EXPECT_FALSE(Layer.IoControl(isp + 100, IOCTL_ISP_VENDOR_IN, record, buffer));
    EXPECT_THAT(product->RequestLog(), IsEmpty());

    EXPECT_TRUE(Layer.IoControl(audio, IOCTL_KS_PROPERTY, property, buffer));
    EXPECT_TRUE(Layer.IoControl(isp, IOCTL_ISP_VENDOR_IN, record, buffer));
    Layer.Close(audio);
    Layer.Close(isp);
    EXPECT_EQ(Layer.OpenHandleCount(), 0u);
}

TEST_F(VirtualDeviceLayerTest, EachRequestTakesItsLatencyOnTheVirtualClock) {
    auto device = OpenDevice(false);
    device->SetRequestLatency(std::chrono::microseconds(125));
    const auto start = Time.Now();
    std::uint8_t value = 0;
    for (int i = 0; i < 8; ++i) {
        Usb.VendorRequest(0xC3, 0x81, 0, 0, &value, 1);
    }
    EXPECT_EQ(Time.Now() - start, std::chrono::milliseconds(1));
    Usb.GetClock().Sleep(5);
    EXPECT_EQ(Time.Now() - start, std::chrono::milliseconds(6));
}

}  // namespace
}  // namespace zarn
